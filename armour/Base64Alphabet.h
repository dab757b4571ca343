#pragma once

#include <array>
#include <cstddef>

namespace ordalis::armour {

inline constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char kPad = '=';
inline constexpr unsigned char kPadValue = 64;
// Marks byte values outside the alphabet and "=": they are dropped unseen.
// No other value has its high bit set.
inline constexpr unsigned char kOutside = 0xFF;
inline constexpr unsigned char kOutsideBit = 0x80;

inline constexpr std::size_t kLineLength = 76;

// Each byte's value in the alphabet, 64 for "=", kOutside for the rest. It
// covers all 256 byte values so that any input byte can index it.
inline constexpr std::array<unsigned char, 256> kValues = [] {
    std::array<unsigned char, 256> values{};
    values.fill(kOutside);
    for (unsigned char v = 0; v < 64; ++v)
        values[static_cast<unsigned char>(kAlphabet[v])] = v;
    values[static_cast<unsigned char>(kPad)] = kPadValue;
    return values;
}();

// The two characters for each 12-bit value, so that a group of three bytes
// takes two lookups instead of four.
inline constexpr std::array<char, 2 * 4096> kPairs = [] {
    std::array<char, 2 * 4096> pairs{};
    for (std::size_t v = 0; v < 4096; ++v) {
        pairs[2 * v] = kAlphabet[v >> 6];
        pairs[2 * v + 1] = kAlphabet[v & 63];
    }
    return pairs;
}();

inline unsigned char ValueOf(char c) { return kValues[static_cast<unsigned char>(c)]; }

// Decodes the values of four characters of the set (64 for "=") into bytes and
// returns how many (1 to 3): a "=" third character leaves the first byte only,
// a "=" fourth the first two.
std::size_t DecodeGroupValues(const unsigned char* values, unsigned char* bytes);

} // namespace ordalis::armour
