#pragma once

#include <string>
#include <string_view>

namespace ordalis::sevenzip {

// The system's "ANSI" texts are UTF-8 on Linux; the library's texts are UTF-16.
// Bytes that are not UTF-8 become U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

// The library keeps one UTF-16 code unit in each (4-byte) wchar_t, with
// surrogate pairs for characters beyond U+FFFF; whole code points would
// corrupt names and passwords.
std::wstring WideFromUtf16(std::u16string_view text);
std::u16string Utf16FromWide(const wchar_t* text);

// "\" separators become "/".
std::string WithSlashes(std::string path);
std::u16string WithSlashes(std::u16string path);

} // namespace ordalis::sevenzip
