#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ordalis {

// The code point that starts at text[i] and its length in bytes; 0 when no
// well-formed UTF-8 starts there (overlong forms, surrogates, code points past
// U+10FFFF and truncated sequences included).
std::size_t DecodeUtf8At(std::string_view text, std::size_t i, char32_t& code);

// Appends code (a valid code point) to out in UTF-8.
void AppendUtf8(std::string& out, char32_t code);

} // namespace ordalis
