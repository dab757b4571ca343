#pragma once

// The language of the command line's own texts (help, usage errors, summaries,
// prompts). The texts the window shows too stay as they are in every language.

#include <initializer_list>
#include <string>
#include <string_view>

namespace ordalis::tools {

enum class Language { English, Russian };

// Russian when the user's locale for messages is Russian, as gettext decides
// it: the first of LC_ALL, LC_MESSAGES and LANG that is set names the locale;
// under any locale but C or POSIX, LANGUAGE's first entry, when set, wins.
Language MessageLanguage();

// One text of the command line in both its languages.
struct Text {
    std::string_view english;
    std::string_view russian;
};

// The text in the user's language.
std::string Say(const Text& text);
// The same with %1, %2... replaced by the arguments, in order.
std::string Say(const Text& text, std::initializer_list<std::string_view> arguments);

} // namespace ordalis::tools
