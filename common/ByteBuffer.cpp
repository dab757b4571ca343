#include "common/ByteBuffer.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/FileStream.h"
#include "common/WipedMemory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace ordalis {

namespace {

constexpr const char* kOutOfMemory = "Out of memory while expanding memory stream";

std::size_t RoundUpToStep(std::size_t n)
{
    constexpr std::size_t step = ByteBuffer::kCapacityStep;
    if (n > std::numeric_limits<std::size_t>::max() - step)
        throw Error(kOutOfMemory);
    return (n + step - 1) / step * step;
}

} // namespace

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : m_data(std::move(other.m_data)), m_size(std::exchange(other.m_size, 0)),
      m_position(std::exchange(other.m_position, 0))
{
    other.m_data.get_deleter().capacity = 0;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept
{
    if (this != &other) {
        m_data = std::move(other.m_data);
        other.m_data.get_deleter().capacity = 0;
        m_size = std::exchange(other.m_size, 0);
        m_position = std::exchange(other.m_position, 0);
    }
    return *this;
}

void ByteBuffer::reallocate(std::size_t capacity)
{
    unsigned char* grown = GrowWiped(m_data.get(), this->capacity(), m_size, capacity);
    if (!grown)
        throw Error(kOutOfMemory);
    (void)m_data.release();
    m_data.get_deleter().capacity = capacity;
    m_data.reset(grown);
}

void ByteBuffer::reserve(std::size_t wanted)
{
    const std::size_t current = capacity();
    if (wanted <= current)
        return;
    // Growing by half again at least keeps many small writes linear overall.
    reallocate(RoundUpToStep(std::max(wanted, current + current / 2)));
}

std::size_t ByteBuffer::read(void* data, std::size_t count)
{
    if (m_position >= m_size)
        return 0;
    const std::size_t n = std::min(count, m_size - m_position);
    std::memcpy(data, m_data.get() + m_position, n);
    m_position += n;
    return n;
}

std::size_t ByteBuffer::write(const void* data, std::size_t count)
{
    if (count == 0)
        return 0;
    if (m_position > std::numeric_limits<std::size_t>::max() - count)
        throw Error(kOutOfMemory);
    const std::size_t end = m_position + count;
    if (end > m_size) {
        reserve(end);
        if (m_position > m_size)
            std::memset(m_data.get() + m_size, 0, m_position - m_size);
        m_size = end;
    }
    std::memcpy(m_data.get() + m_position, data, count);
    m_position = end;
    return count;
}

std::int64_t ByteBuffer::seek(std::int64_t offset, SeekOrigin origin)
{
    const std::int64_t base = origin == SeekOrigin::Begin     ? 0
                              : origin == SeekOrigin::Current ? static_cast<std::int64_t>(m_position)
                                                              : static_cast<std::int64_t>(m_size);
    const std::int64_t pos = base + offset;
    if (pos < 0)
        throw Error("Stream seek error");
    m_position = static_cast<std::size_t>(pos);
    return pos;
}

void ByteBuffer::setSize(std::int64_t newSize)
{
    if (newSize < 0)
        throw Error(kOutOfMemory);
    const auto n = static_cast<std::size_t>(newSize);
    // An exact size is asked for: allocate it in one step, no slack.
    if (n > capacity())
        reallocate(RoundUpToStep(n));
    m_size = n;
    m_position = std::min(m_position, m_size);
}

void ByteBuffer::loadFromFile(const std::string& path)
{
    FileStream file = FileStream::openRead(path);
    loadFromFile(file);
}

void ByteBuffer::loadFromFile(FileStream& file)
{
    const std::int64_t fileSize = file.size();
    setSize(fileSize);
    m_position = 0;
    std::size_t done = 0;
    while (done < m_size) {
        const std::size_t n = file.read(m_data.get() + done, m_size - done);
        if (n == 0)
            throw Error("Stream read error");
        done += n;
    }
}

void ByteBuffer::saveToFile(const std::string& path, OutputMode mode) const { SaveFileAtomically(path, bytes(), mode); }

void ByteBuffer::wipe()
{
    m_data.reset();
    m_data.get_deleter().capacity = 0;
    m_size = m_position = 0;
}

} // namespace ordalis
