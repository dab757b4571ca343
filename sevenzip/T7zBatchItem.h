#pragma once

#include "common/FileTime.h"
#include "sevenzip/HeldStream.h"

#include <cstdint>
#include <string>

namespace ordalis::sevenzip {

enum class T7zSourceKind : std::int32_t { Stream = 0, File = 1 };

// One queued archive item. Its data is not held: a file is opened only when the
// library asks for it, a stream is read from its start then.
struct T7zBatchItem {
    T7zSourceKind kind = T7zSourceKind::File;
    // The caller's stream for kind Stream (freed with the item when owned); empty for kind File.
    HeldStream stream;
    std::uint32_t attributes = 0;
    // Exactly as the file system or the caller gives them.
    FILETIME creationTime{};
    FILETIME lastWriteTime{};
    // The item's name inside the archive, "/" between folders.
    std::u16string path;
    bool isDirectory = false;
    bool isAnti = false;
    // The file on disk for kind File.
    std::string fileName;
    // 64 bits: the library takes a size of 0 for an empty file and skips its
    // data, so a size cut to 32 bits would lose files of 4 GiB multiples.
    std::uint64_t size = 0;
};

} // namespace ordalis::sevenzip
