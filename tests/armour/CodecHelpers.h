#pragma once

#include "armour/Armour.h"
#include "common/ByteBuffer.h"

#include <algorithm>
#include <string>

namespace ordalis::test {

inline ByteBuffer BufferOf(const std::string& bytes)
{
    ByteBuffer buffer;
    buffer.write(bytes.data(), bytes.size());
    buffer.setPosition(0);
    return buffer;
}

inline std::string TextOf(const ByteBuffer& buffer)
{
    return {reinterpret_cast<const char*>(buffer.data()), buffer.length()};
}

template <void (*Codec)(ByteStream&, ByteStream&)>
std::string Run(const std::string& input)
{
    ByteBuffer in = BufferOf(input);
    ByteBuffer out;
    Codec(in, out);
    return TextOf(out);
}

inline std::string Encode(const std::string& bytes) { return Run<ArmourEncode>(bytes); }
inline std::string Decode(const std::string& text) { return Run<ArmourDecode>(text); }

// Bytes of every value in an order without short repeats.
inline std::string Pattern(std::size_t n)
{
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 167 + i / 251) & 0xFF);
    return bytes;
}

// A buffer that hands out at most a few bytes per read, as pipes and
// sockets may; a byte buffer always delivers all it has.
class TrickleStream : public ByteBuffer {
public:
    explicit TrickleStream(const std::string& bytes, std::size_t perRead) : m_perRead(perRead)
    {
        write(bytes.data(), bytes.size());
        setPosition(0);
    }
    std::size_t read(void* data, std::size_t count) override
    {
        return ByteBuffer::read(data, std::min(count, m_perRead));
    }

private:
    std::size_t m_perRead;
};

} // namespace ordalis::test
