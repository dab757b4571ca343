#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace ordalis::test {

// Sets the locale variables that choose the command line's language while it
// lives (LC_ALL to locale, LANGUAGE cleared), then puts back what was there.
class ScopedLanguage {
public:
    explicit ScopedLanguage(const std::string& locale) : m_all(Get("LC_ALL")), m_language(Get("LANGUAGE"))
    {
        ::setenv("LC_ALL", locale.c_str(), 1);
        ::unsetenv("LANGUAGE");
    }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;
    ~ScopedLanguage()
    {
        Put("LC_ALL", m_all);
        Put("LANGUAGE", m_language);
    }

private:
    static std::optional<std::string> Get(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Put(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::optional<std::string> m_all, m_language;
};

} // namespace ordalis::test
