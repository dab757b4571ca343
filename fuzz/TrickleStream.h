#pragma once

// Bytes in memory read back a few at a time, in reads of changing length, so
// that a reader that fills its buffer as it goes meets every boundary.

#include "common/ByteStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace ordalis::fuzz {

class TrickleStream final : public ByteStream {
public:
    TrickleStream(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t read(void* data, std::size_t count) override
    {
        const std::size_t most = 1 + (m_position * 31 + 7) % 13;
        const std::size_t n = std::min({count, most, m_size - m_position});
        if (n > 0)
            std::memcpy(data, m_data + m_position, n);
        m_position += n;
        return n;
    }
    std::size_t write(const void*, std::size_t) override { return 0; }
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override
    {
        const std::int64_t base = origin == SeekOrigin::Begin     ? 0
                                  : origin == SeekOrigin::Current ? static_cast<std::int64_t>(m_position)
                                                                  : static_cast<std::int64_t>(m_size);
        m_position =
            static_cast<std::size_t>(std::clamp<std::int64_t>(base + offset, 0, static_cast<std::int64_t>(m_size)));
        return static_cast<std::int64_t>(m_position);
    }
    std::int64_t size() override { return static_cast<std::int64_t>(m_size); }
    void setSize(std::int64_t) override {}

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace ordalis::fuzz
