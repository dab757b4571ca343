#pragma once

// A private folder for the targets that need files: made once per process,
// with XDG_DATA_HOME pointed at it so the stores live inside, and removed at exit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ordalis::fuzz {

// The folder (made and exported as XDG_DATA_HOME at the first call).
const std::string& ScratchFolder();

// Writes the bytes as the whole content of the file (mode 0600).
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
inline void WriteFile(const std::string& path, std::string_view text)
{
    WriteFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Removes everything inside the folder and makes it anew, so that each input
// starts from the same files.
void ResetFolder(const std::string& folder);

} // namespace ordalis::fuzz
