#include "cryptomsg/CaseFold.h"

#include <cctype>
#include <clocale>
#include <cwctype>
#include <locale.h>

namespace ordalis {

namespace {

// The case tables of glibc's built-in UTF-8 locale, whatever the process's own
// locale is. Made once and never changed.
locale_t Utf8Ctype()
{
    static const locale_t ctype = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return ctype;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code point at text[i] and its length in bytes; 0 when it is no
// well-formed UTF-8 (overlong forms and surrogates included).
std::size_t DecodeAt(std::string_view text, std::size_t i, char32_t& code)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5                 ? 4
                                                                             : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if (!IsContinuation(byte(k)))
            return 0;
        code = (code << 6) | (byte(k) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void Append(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char32_t Lower(char32_t code)
{
    if (const locale_t ctype = Utf8Ctype())
        return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(code), ctype));
    return code < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(code))) : code;
}

} // namespace

std::string FoldCase(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeAt(text, i, code);
        if (length == 0) {
            out += text[i++];
            continue;
        }
        Append(out, Lower(code));
        i += length;
    }
    return out;
}

} // namespace ordalis
