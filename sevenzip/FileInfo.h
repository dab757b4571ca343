#pragma once

#include "common/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ordalis::sevenzip {

// What the writer takes from a file on disk for its archive item.
struct DiskFileInfo {
    std::uint32_t attributes = 0;
    FILETIME creationTime{};
    FILETIME lastWriteTime{};
    std::uint64_t size = 0;
    bool isDirectory = false;
    bool isRegular = false;
};

// The file's information, following symbolic links; nothing when it can't be read.
std::optional<DiskFileInfo> ReadFileInfo(const std::string& path);

// Attribute bits as the library reads them on Linux: the Windows bits
// (read-only, hidden for dot names, directory, archive) plus the POSIX mode in
// the high half, marked by the Unix-extension bit, so extraction restores the mode.
std::uint32_t FileAttributes(std::uint32_t mode, const std::string& bareName);

} // namespace ordalis::sevenzip
