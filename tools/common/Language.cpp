#include "tools/common/Language.h"

#include <cstdlib>

namespace ordalis::tools {

namespace {

std::string_view Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

// "ru", "ru_RU", "ru_RU.UTF-8", "ru@..." name Russian; "rue" (Rusyn) does not.
bool NamesRussian(std::string_view locale)
{
    return locale.substr(0, 2) == "ru" &&
           (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}

} // namespace

Language MessageLanguage()
{
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (locale = Variable(name); !locale.empty())
            break;
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return Language::English;
    if (const std::string_view languages = Variable("LANGUAGE"); !languages.empty())
        locale = languages.substr(0, languages.find(':'));
    return NamesRussian(locale) ? Language::Russian : Language::English;
}

std::string Say(const Text& text)
{
    return std::string(MessageLanguage() == Language::Russian ? text.russian : text.english);
}

std::string Say(const Text& text, std::initializer_list<std::string_view> arguments)
{
    const std::string pattern = Say(text);
    std::string said;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t index = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : 9;
        if (pattern[i] == '%' && index < arguments.size()) {
            said += *(arguments.begin() + index);
            ++i;
        } else {
            said += pattern[i];
        }
    }
    return said;
}

} // namespace ordalis::tools
