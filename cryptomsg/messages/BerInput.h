#pragma once

// BER read from a stream one header or one small element at a time, with
// OpenSSL's own header decoder, so that a message of any size is walked in a
// buffer of fixed size. Every element is kept within the one that holds it,
// the outermost within the stream.

#include "common/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ordalis {

struct BerHeader {
    int tag = 0;
    int xclass = 0; // V_ASN1_UNIVERSAL, V_ASN1_CONTEXT_SPECIFIC, ...
    bool constructed = false;
    bool indefinite = false;
    std::uint64_t length = 0;         // of the contents, when definite
    std::vector<unsigned char> bytes; // the header as it was encoded

    bool is(int wantedTag, int wantedClass, bool wantedConstructed) const
    {
        return tag == wantedTag && xclass == wantedClass && constructed == wantedConstructed;
    }
};

// Failures return nothing or false with the last error set: Asn1Eod when the
// stream ends inside the message, Asn1Corrupt when the bytes are not BER or an
// element does not fit the one that holds it.
class BerInput {
public:
    explicit BerInput(ByteStream& in);
    BerInput(BerInput&&) = default;

    std::optional<BerHeader> readHeader();
    // An element whole (header and contents), no longer than limit bytes.
    std::optional<std::vector<unsigned char>> readElement(std::size_t limit);
    // The same when its header has just been read.
    std::optional<std::vector<unsigned char>> readElementAfter(const BerHeader& header, std::size_t limit);
    // Fills out with the next content bytes of a primitive element.
    bool readContent(std::span<unsigned char> out);

    // Steps into a constructed element; its contents follow.
    void enter(const BerHeader& header);
    // Whether the innermost element entered has no more contents.
    bool atEndOfElement();
    // Steps out of it: all its contents must have been read (and, for an
    // indefinite length, its end-of-contents octets are read here).
    bool leave();
    // Whether the stream holds nothing after what was read.
    bool atEndOfStream();

    std::uint64_t offset() const { return m_offset; }
    std::uint64_t total() const { return m_total; }

private:
    bool fill(std::size_t count);
    bool take(std::size_t count, std::vector<unsigned char>* copy);
    std::uint64_t room() const { return m_ends.back() - m_offset; }
    bool appendContents(const BerHeader& header, std::size_t limit, std::vector<unsigned char>& element);

    ByteStream* m_in;
    std::vector<unsigned char> m_buffer;
    std::size_t m_begin = 0; // unread bytes are m_buffer[m_begin, m_end)
    std::size_t m_end = 0;
    std::uint64_t m_offset = 0; // in the stream, of m_buffer[m_begin]
    std::uint64_t m_total = 0;
    // Where each element entered ends (an indefinite one: where the one around it does).
    std::vector<std::uint64_t> m_ends;
    std::vector<bool> m_indefinite;
};

} // namespace ordalis
