#include "cryptomsg/store/CaseFold.h"

#include "common/Utf8.h"

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
        const std::size_t length = DecodeUtf8At(text, i, code);
        if (length == 0) {
            out += text[i++];
            continue;
        }
        AppendUtf8(out, Lower(code));
        i += length;
    }
    return out;
}

} // namespace ordalis
