#include "armour/Armour.h"

#include "armour/Base64Alphabet.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ordalis {

using namespace armour;

namespace {

// 19 groups of four characters, 57 bytes.
constexpr std::size_t kCharChunk = 76;
constexpr std::size_t kByteChunk = kCharChunk / 4 * 3;

// For each byte, its value already shifted into place for each of the four
// positions of a group, or kUnclean for "=" and bytes outside the set, so
// that a clean group decodes with four lookups and three ORs.
constexpr std::uint32_t kUnclean = 1u << 24;
using ShiftedValues = std::array<std::uint32_t, 256>;

constexpr ShiftedValues MakeShifted(unsigned shift)
{
    ShiftedValues table{};
    for (std::size_t c = 0; c < 256; ++c)
        table[c] = kValues[c] < kPadValue ? std::uint32_t{kValues[c]} << shift : kUnclean;
    return table;
}

constexpr std::array<ShiftedValues, 4> kShifted = {MakeShifted(18), MakeShifted(12), MakeShifted(6), MakeShifted(0)};

// Decodes a chunk of 76 bytes read in one piece, the case of nearly every
// chunk of well-formed text, when all of them are alphabet characters; in
// that case the general path would drop nothing and meet no "=" either.
// Returns false otherwise, and what it wrote to bytes is then meaningless.
bool DecodeCleanChunk(const unsigned char* c, unsigned char* bytes)
{
    std::uint32_t unclean = 0;
    for (std::size_t g = 0; g < kCharChunk / 4; ++g, c += 4, bytes += 3) {
        const std::uint32_t bits = kShifted[0][c[0]] | kShifted[1][c[1]] | kShifted[2][c[2]] | kShifted[3][c[3]];
        unclean |= bits;
        bytes[0] = static_cast<unsigned char>(bits >> 16);
        bytes[1] = static_cast<unsigned char>(bits >> 8);
        bytes[2] = static_cast<unsigned char>(bits);
    }
    return (unclean & kUnclean) == 0;
}

// Passes over bytes outside the set one at a time and leaves the input at
// the first character of the set, or at its end.
void SkipToCharacter(ByteStream& in)
{
    char c;
    while (in.read(&c, 1) == 1) {
        if (ValueOf(c) != kOutside) {
            in.seek(-1, SeekOrigin::Current);
            return;
        }
    }
}

// Replaces count bytes by their values and drops those outside the set,
// closing the gaps; returns where the kept values end. Most chunks hold no
// byte to drop, so the drop pass runs only when the lookup met one.
unsigned char* KeepValues(unsigned char* first, std::size_t count)
{
    unsigned char seen = 0;
    for (std::size_t i = 0; i < count; ++i) {
        first[i] = kValues[first[i]];
        seen |= first[i];
    }
    if ((seen & kOutsideBit) == 0)
        return first + count;
    return std::remove(first, first + count, kOutside);
}

// Completes a chunk whose first got bytes have been read: keeps the values
// of the characters of the set and reads on until it holds 76 of them or
// the input ends. Reading on after a short read, rather than stopping,
// keeps a stream that delivers less than asked from splitting a group
// across chunks. Returns how many values the chunk holds.
std::size_t GatherChunk(ByteStream& in, unsigned char* chunk, std::size_t got)
{
    std::size_t m = 0;
    while (got > 0) {
        m = static_cast<std::size_t>(KeepValues(chunk + m, got) - chunk);
        if (m == kCharChunk)
            break;
        got = in.read(chunk + m, kCharChunk - m);
    }
    return m;
}

// Decodes the m values of a chunk. A trailing incomplete group yields the
// whole bytes its characters carry: two characters one byte, three two,
// a single one nothing.
std::size_t DecodeChunk(const unsigned char* values, std::size_t m, unsigned char* bytes)
{
    unsigned char* end = bytes;
    const std::size_t whole = m / 4;
    for (std::size_t g = 0; g < whole; ++g, values += 4) {
        if (((values[0] | values[1] | values[2] | values[3]) & kPadValue) == 0) {
            const unsigned bits =
                (unsigned{values[0]} << 18) | (unsigned{values[1]} << 12) | (unsigned{values[2]} << 6) | values[3];
            end[0] = static_cast<unsigned char>(bits >> 16);
            end[1] = static_cast<unsigned char>(bits >> 8);
            end[2] = static_cast<unsigned char>(bits);
            end += 3;
        } else {
            end += DecodeGroupValues(values, end);
        }
    }
    if (const std::size_t left = m % 4; left >= 2) {
        unsigned char group[4] = {kPadValue, kPadValue, kPadValue, kPadValue};
        std::copy_n(values, left, group);
        end += DecodeGroupValues(group, end);
    }
    return static_cast<std::size_t>(end - bytes);
}

} // namespace

void ArmourDecode(ByteStream& in, ByteStream& out)
{
    unsigned char chunk[kCharChunk];
    unsigned char bytes[kByteChunk];
    for (;;) {
        SkipToCharacter(in);
        const std::size_t got = in.read(chunk, kCharChunk);
        if (got == kCharChunk && DecodeCleanChunk(chunk, bytes)) {
            out.write(bytes, kByteChunk);
            continue;
        }
        const std::size_t m = GatherChunk(in, chunk, got);
        out.write(bytes, DecodeChunk(chunk, m, bytes));
        if (m == 0)
            break;
    }
}

} // namespace ordalis
