#include "cryptomsg/messages/BerInput.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/asn1.h>
#include <openssl/err.h>

#include <algorithm>
#include <cstring>

namespace ordalis {

namespace {

constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
// More than any header OpenSSL decodes needs (tag and length of a long).
constexpr std::size_t kHeaderLookahead = 64;
// Elements nested deeper than this are refused, which keeps the reading of
// nested indefinite lengths from exhausting the stack.
constexpr std::size_t kMaxDepth = 32;

} // namespace

BerInput::BerInput(ByteStream& in) : m_in(&in), m_buffer(kBufferSize)
{
    m_total = static_cast<std::uint64_t>(std::max<std::int64_t>(in.size() - in.position(), 0));
    m_ends.push_back(m_total);
    m_indefinite.push_back(false);
}

bool BerInput::fill(std::size_t count)
{
    if (m_end - m_begin >= count)
        return true;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    while (m_end < count) {
        const std::size_t got = m_in->read(m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got == 0)
            return false;
        m_end += got;
    }
    return true;
}

// Consumes count bytes, which must be within the current element, copying them when asked.
bool BerInput::take(std::size_t count, std::vector<unsigned char>* copy)
{
    if (count > room())
        return FailWith(codes::Asn1Corrupt);
    while (count > 0) {
        if (!fill(1))
            return FailWith(codes::Asn1Eod);
        const std::size_t n = std::min(count, m_end - m_begin);
        if (copy)
            copy->insert(copy->end(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_begin),
                         m_buffer.begin() + static_cast<std::ptrdiff_t>(m_begin + n));
        m_begin += n;
        m_offset += n;
        count -= n;
    }
    return true;
}

std::optional<BerHeader> BerInput::readHeader()
{
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kHeaderLookahead, room()));
    if (wanted == 0 || !fill(wanted)) {
        FailWith(wanted == 0 ? codes::Asn1Corrupt : codes::Asn1Eod);
        return std::nullopt;
    }
    const unsigned char* start = m_buffer.data() + m_begin;
    const unsigned char* p = start;
    long length = 0;
    BerHeader header;
    // The decoder is given the buffered bytes only; it flags contents that run
    // past them, which is expected here, and moves p only when the header itself decodes.
    const int info = ASN1_get_object(&p, &length, &header.tag, &header.xclass, static_cast<long>(wanted));
    ERR_clear_error();
    if (p == start || length < 0) {
        FailWith(codes::Asn1Corrupt);
        return std::nullopt;
    }
    header.constructed = (info & V_ASN1_CONSTRUCTED) != 0;
    header.indefinite = (info & 0x01) != 0;
    header.length = header.indefinite ? 0 : static_cast<std::uint64_t>(length);
    const auto headerSize = static_cast<std::size_t>(p - start);
    header.bytes.assign(start, p);
    if (headerSize + header.length > room()) {
        FailWith(codes::Asn1Corrupt);
        return std::nullopt;
    }
    m_begin += headerSize;
    m_offset += headerSize;
    return header;
}

std::optional<std::vector<unsigned char>> BerInput::readElement(std::size_t limit)
{
    const std::optional<BerHeader> header = readHeader();
    if (!header)
        return std::nullopt;
    return readElementAfter(*header, limit);
}

std::optional<std::vector<unsigned char>> BerInput::readElementAfter(const BerHeader& header, std::size_t limit)
{
    std::vector<unsigned char> element = header.bytes;
    if (element.size() > limit || !appendContents(header, limit, element))
        return std::nullopt;
    return element;
}

bool BerInput::appendContents(const BerHeader& header, std::size_t limit, std::vector<unsigned char>& element)
{
    if (!header.indefinite) {
        if (header.length > limit - element.size())
            return FailWith(codes::Asn1Corrupt);
        return take(static_cast<std::size_t>(header.length), &element);
    }
    if (m_ends.size() > kMaxDepth)
        return FailWith(codes::Asn1Corrupt);
    enter(header);
    while (!atEndOfElement()) {
        const std::optional<BerHeader> inner = readHeader();
        if (!inner)
            return false;
        element.insert(element.end(), inner->bytes.begin(), inner->bytes.end());
        if (element.size() > limit || !appendContents(*inner, limit, element))
            return FailWith(codes::Asn1Corrupt);
    }
    const std::uint64_t before = m_offset;
    if (!leave())
        return false;
    // The end-of-contents octets, as read.
    element.insert(element.end(), static_cast<std::size_t>(m_offset - before), 0);
    return element.size() <= limit || FailWith(codes::Asn1Corrupt);
}

bool BerInput::readContent(std::span<unsigned char> out)
{
    if (out.size() > room())
        return FailWith(codes::Asn1Corrupt);
    std::size_t done = 0;
    const std::size_t buffered = std::min(out.size(), m_end - m_begin);
    std::memcpy(out.data(), m_buffer.data() + m_begin, buffered);
    m_begin += buffered;
    done += buffered;
    // Large contents go straight from the stream to the caller.
    while (done < out.size()) {
        const std::size_t got = m_in->read(out.data() + done, out.size() - done);
        if (got == 0)
            return FailWith(codes::Asn1Eod);
        done += got;
    }
    m_offset += done;
    return true;
}

void BerInput::enter(const BerHeader& header)
{
    m_ends.push_back(header.indefinite ? m_ends.back() : m_offset + header.length);
    m_indefinite.push_back(header.indefinite);
}

bool BerInput::atEndOfElement()
{
    if (!m_indefinite.back())
        return m_offset == m_ends.back();
    return room() >= 2 && fill(2) && m_buffer[m_begin] == 0 && m_buffer[m_begin + 1] == 0;
}

bool BerInput::leave()
{
    if (m_ends.size() < 2)
        return FailWith(codes::InvalidArg);
    if (!atEndOfElement())
        return FailWith(codes::Asn1Corrupt);
    if (m_indefinite.back()) {
        m_begin += 2;
        m_offset += 2;
    }
    m_ends.pop_back();
    m_indefinite.pop_back();
    return true;
}

bool BerInput::atEndOfStream()
{
    if (m_offset != m_total || m_begin != m_end)
        return false;
    unsigned char probe = 0;
    return m_in->read(&probe, 1) == 0;
}

} // namespace ordalis
