#include "tools/common/ShellWord.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace ordalis::tools {

namespace {

bool IsPlain(char c)
{
    // Bytes of UTF-8 names are not special to the shell either.
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) || std::string_view("_./:=@%+,-").find(c) != std::string_view::npos;
}

} // namespace

std::string ShellWord(const std::string& text)
{
    if (!text.empty() && std::all_of(text.begin(), text.end(), IsPlain))
        return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace ordalis::tools
