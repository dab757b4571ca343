#pragma once

#include "common/AtomicFileWriter.h"
#include "common/ByteStream.h"
#include "common/FileStream.h"
#include "common/WipedMemory.h"

#include <memory>
#include <span>
#include <string>

namespace ordalis {

// A growable in-memory byte stream. Its capacity is always a whole number of
// 8 KiB steps; running out of memory throws "Out of memory while expanding memory stream".
// Its memory is wiped before it is given back (when it grows, too), since it
// may hold plaintext or key material.
class ByteBuffer : public ByteStream {
public:
    static constexpr std::size_t kCapacityStep = 8192;

    ByteBuffer() = default;
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ~ByteBuffer() override = default;

    std::size_t read(void* data, std::size_t count) override;
    std::size_t write(const void* data, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t size() override { return static_cast<std::int64_t>(m_size); }
    void setSize(std::int64_t newSize) override;

    unsigned char* data() { return m_data.get(); }
    const unsigned char* data() const { return m_data.get(); }
    std::size_t length() const { return m_size; }
    std::size_t capacity() const { return m_data.get_deleter().capacity; }
    std::span<const unsigned char> bytes() const { return {m_data.get(), m_size}; }

    // Replaces the content with the whole file; throws "Cannot open file "%s". %s"
    // when it cannot be opened and "Stream read error" when it yields fewer bytes than its size.
    void loadFromFile(const std::string& path);
    // The same from a file already open, read from its start.
    void loadFromFile(FileStream& file);
    // Writes the content to path as a complete new file (see AtomicFileWriter).
    void saveToFile(const std::string& path, OutputMode mode = {}) const;

    // Releases the memory, wiping it first (for secrets such as decrypted content).
    void wipe();

private:
    void reserve(std::size_t wanted);
    void reallocate(std::size_t capacity);

    std::unique_ptr<unsigned char, ReleaseWipedBlock> m_data;
    std::size_t m_size = 0;
    std::size_t m_position = 0;
};

} // namespace ordalis
