#include "tools/common/Language.h"
#include "tests/support/ScopedLanguage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ordalis::tools {
namespace {

constexpr Text kGreeting{"%1 has %2 files", "у %1 файлов: %2"};

// Sets the four variables while it lives (empty means unset), then puts back
// what was there.
class Locale {
public:
    Locale(const char* all, const char* messages, const char* lang, const char* language)
    {
        const char* values[] = {all, messages, lang, language};
        for (int i = 0; i < 4; ++i) {
            const char* old = std::getenv(kNames[i]);
            m_saved[i] = old ? std::optional<std::string>(old) : std::nullopt;
            Set(kNames[i], values[i]);
        }
    }
    Locale(const Locale&) = delete;
    Locale& operator=(const Locale&) = delete;
    ~Locale()
    {
        for (int i = 0; i < 4; ++i)
            Set(kNames[i], m_saved[i] ? m_saved[i]->c_str() : "");
    }

private:
    static void Set(const char* name, const char* value)
    {
        if (*value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::optional<std::string> m_saved[4];
};

TEST(MessageLanguage, ChosenAsGettextChoosesIt)
{
    const struct {
        const char *all, *messages, *lang, *language;
        Language expected;
    } cases[] = {
        {"", "", "", "", Language::English},
        {"", "", "ru_RU.UTF-8", "", Language::Russian},
        {"", "", "ru", "", Language::Russian},
        {"", "ru_RU.UTF-8", "en_US.UTF-8", "", Language::Russian},
        {"en_US.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8", "", Language::English},
        {"C", "", "ru_RU.UTF-8", "", Language::English},
        {"", "", "C.UTF-8", "", Language::English},
        {"", "", "rue_UA.UTF-8", "", Language::English},
        {"", "", "en_US.UTF-8", "ru:en", Language::Russian},
        {"", "", "ru_RU.UTF-8", "en", Language::English},
        {"", "", "C", "ru", Language::English}, // under C, LANGUAGE does not count
        {"", "", "POSIX", "ru", Language::English},
    };
    for (const auto& c : cases) {
        const Locale locale(c.all, c.messages, c.lang, c.language);
        EXPECT_EQ(MessageLanguage(), c.expected)
            << "LC_ALL=" << c.all << " LC_MESSAGES=" << c.messages << " LANG=" << c.lang << " LANGUAGE=" << c.language;
    }
}

TEST(MessageLanguage, ArgumentsTakeTheirPlaces)
{
    {
        const test::ScopedLanguage english("en_US.UTF-8");
        EXPECT_EQ(Say(kGreeting, {"Ivan", "3"}), "Ivan has 3 files");
        EXPECT_EQ(Say(kGreeting, {"Ivan"}), "Ivan has %2 files");
        EXPECT_EQ(Say(Text{"100% done %", ""}, {"x"}), "100% done %");
    }
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    EXPECT_EQ(Say(kGreeting, {"Ивана", "3"}), "у Ивана файлов: 3");
}

} // namespace
} // namespace ordalis::tools
