#include "armour/Armour.h"

#include "armour/Base64Alphabet.h"

#include <algorithm>
#include <cstring>

namespace ordalis {

using namespace armour;

namespace {

// 170 whole groups: pad characters can only appear in the last chunk.
constexpr std::size_t kReadChunk = 510;
// 680 characters and at most 9 line breaks.
constexpr std::size_t kTextChunk = kReadChunk / 3 * 4 + 2 * 9;

// Reads until the chunk is full or the input ends. A stream that delivers
// less than asked before its end would otherwise put padded groups in the
// middle of the text, which other decoders reject.
std::size_t FillChunk(ByteStream& in, unsigned char* chunk)
{
    std::size_t n = 0;
    while (n < kReadChunk) {
        const std::size_t got = in.read(chunk + n, kReadChunk - n);
        if (got == 0)
            break;
        n += got;
    }
    return n;
}

inline char* EncodeWholeGroups(const unsigned char* bytes, std::size_t groups, char* text)
{
    for (std::size_t g = 0; g < groups; ++g, bytes += 3, text += 4) {
        const unsigned bits = (unsigned{bytes[0]} << 16) | (unsigned{bytes[1]} << 8) | bytes[2];
        std::memcpy(text, &kPairs[2 * (bits >> 12)], 2);
        std::memcpy(text + 2, &kPairs[2 * (bits & 0xFFF)], 2);
    }
    return text;
}

// The text of one chunk of n bytes. lineLength (a multiple of four, below 76)
// carries the length of the unfinished line across chunks.
std::size_t EncodeChunk(const unsigned char* bytes, std::size_t n, char* text, std::size_t& lineLength)
{
    char* end = text;
    std::size_t done = 0;
    while (done < n) {
        if (const std::size_t whole = (n - done) / 3; whole > 0) {
            // The whole groups that still fit on the current line, in one run.
            const std::size_t groups = std::min(whole, (kLineLength - lineLength) / 4);
            end = EncodeWholeGroups(bytes + done, groups, end);
            done += groups * 3;
            lineLength += groups * 4;
        } else {
            EncodeGroup(bytes + done, n - done, end);
            end += 4;
            done = n;
            lineLength += 4;
        }
        if (lineLength >= kLineLength) {
            *end++ = '\r';
            *end++ = '\n';
            lineLength = 0;
        }
    }
    return static_cast<std::size_t>(end - text);
}

} // namespace

void ArmourEncode(ByteStream& in, ByteStream& out)
{
    unsigned char chunk[kReadChunk];
    char text[kTextChunk];
    std::size_t lineLength = 0;
    for (;;) {
        const std::size_t n = FillChunk(in, chunk);
        out.write(text, EncodeChunk(chunk, n, text, lineLength));
        if (n == 0)
            break;
    }
}

} // namespace ordalis
