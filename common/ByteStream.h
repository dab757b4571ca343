#pragma once

#include <cstddef>
#include <cstdint>

namespace ordalis {

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// A seekable stream of bytes: the common ground of in-memory buffers and files,
// used by the Base64 codec and the 7z binding.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual std::size_t read(void* data, std::size_t count) = 0;
    // Writes count bytes or throws; returns count.
    virtual std::size_t write(const void* data, std::size_t count) = 0;
    // Moves the position and returns the new one.
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t size() = 0;
    virtual void setSize(std::int64_t newSize) = 0;

    std::int64_t position() { return seek(0, SeekOrigin::Current); }
    void setPosition(std::int64_t pos) { seek(pos, SeekOrigin::Begin); }
};

} // namespace ordalis
