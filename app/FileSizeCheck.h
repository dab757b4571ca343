#pragma once

#include <cstdint>
#include <string>

namespace ordalis {

// The largest file the window accepts for signing, encryption and decryption (300 MiB).
inline constexpr std::int64_t MaxFileSize = 314572800;

// True when the named file is at most MaxFileSize bytes long, false when it is
// larger. Throws InOutError when the file cannot be opened, measured or closed.
bool FileSizeOk(const std::string& name);

} // namespace ordalis
