#include "armour/Armour.h"

#include "armour/Base64Alphabet.h"

namespace ordalis {

using namespace armour;

void EncodeGroup(const unsigned char* group, std::size_t count, char* chars)
{
    const unsigned b0 = count > 0 ? group[0] : 0;
    const unsigned b1 = count > 1 ? group[1] : 0;
    const unsigned b2 = count > 2 ? group[2] : 0;
    chars[0] = kAlphabet[b0 >> 2];
    chars[1] = kAlphabet[((b0 << 4) | (b1 >> 4)) & 63];
    chars[2] = count < 2 ? kPad : kAlphabet[((b1 << 2) | (b2 >> 6)) & 63];
    chars[3] = count < 3 ? kPad : kAlphabet[b2 & 63];
}

namespace armour {

std::size_t DecodeGroupValues(const unsigned char* values, unsigned char* bytes)
{
    const unsigned a = values[0], b = values[1], c = values[2], d = values[3];
    // A "=" enters the arithmetic as 64; every result keeps its low eight bits.
    bytes[0] = static_cast<unsigned char>((a << 2) | (b >> 4));
    if (c == kPadValue)
        return 1; // nothing defines a second byte without its third character
    bytes[1] = static_cast<unsigned char>((b << 4) | (c >> 2));
    if (d == kPadValue)
        return 2;
    bytes[2] = static_cast<unsigned char>((c << 6) | d);
    return 3;
}

} // namespace armour

} // namespace ordalis
