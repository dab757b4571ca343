#pragma once

#include "common/ByteBuffer.h"
#include "common/FileStream.h"

#include <cstddef>
#include <span>
#include <string>

namespace ordalis {

// The whole content of a file, read-only. A file that only its owner (this
// process's user) can change is mapped, so its bytes are never copied; any
// other is read into memory, since whoever can shorten it while it is mapped
// would kill this process with SIGBUS.
class FileContent {
public:
    // Throws as ByteBuffer::loadFromFile does.
    static FileContent load(const std::string& path);
    static FileContent load(FileStream& file);

    FileContent() = default; // empty
    FileContent(FileContent&& other) noexcept;
    FileContent& operator=(FileContent&& other) noexcept;
    FileContent(const FileContent&) = delete;
    FileContent& operator=(const FileContent&) = delete;
    ~FileContent();

    std::span<const unsigned char> bytes() const;
    const unsigned char* data() const { return bytes().data(); }
    std::size_t length() const { return bytes().size(); }

private:
    void unmap();

    void* m_mapped = nullptr;
    std::size_t m_mappedSize = 0;
    ByteBuffer m_copy;
};

} // namespace ordalis
