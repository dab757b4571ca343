#include "sevenzip/Utf16.h"

#include "common/Utf8.h"

#include <algorithm>
#include <cstdint>

namespace ordalis::sevenzip {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[pos], advancing pos; malformed input
// (overlong forms, surrogates, truncation) yields U+FFFD for one byte.
char32_t DecodeOne(std::string_view text, std::size_t& pos)
{
    char32_t code = 0;
    const std::size_t length = DecodeUtf8At(text, pos, code);
    pos += length == 0 ? 1 : length;
    return length == 0 ? kReplacement : code;
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

std::u16string Utf16FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t code = DecodeOne(text, pos);
        if (code < 0x10000) {
            out += static_cast<char16_t>(code);
        } else {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::wstring WideFromUtf16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string Utf16FromWide(const wchar_t* text)
{
    std::u16string out;
    for (; text && *text; ++text)
        out += static_cast<char16_t>(static_cast<std::uint32_t>(*text));
    return out;
}

std::string WithSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::u16string WithSlashes(std::u16string path)
{
    std::replace(path.begin(), path.end(), u'\\', u'/');
    return path;
}

} // namespace ordalis::sevenzip
