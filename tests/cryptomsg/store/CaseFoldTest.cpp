#include "cryptomsg/store/CaseFold.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

TEST(CaseFold, LowersLettersOfEveryScript)
{
    const struct {
        std::string text;
        std::string folded;
    } cases[] = {
        {"Ordalis TEST 42", "ordalis test 42"},
        {"ИВАНОВ Иван", "иванов иван"},
        {"ЁЖ Ђ Ѕ Я", "ёж ђ ѕ я"},
        {"ΣΟΦΊΑ", "σοφία"},
        {"ÄÖÜ Ÿ", "äöü ÿ"},
        {"ԱՐԱՄ", "արամ"},
        {"", ""},
        {"ужЕ", "уже"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldCase(c.text), c.folded) << c.text;
}

TEST(CaseFold, KeepsBytesThatAreNotUtf8)
{
    EXPECT_EQ(FoldCase("A\xFF"
                       "B"),
              "a\xFF"
              "b");
    EXPECT_EQ(FoldCase("\xD0"), "\xD0") << "a lead byte at the end";
    EXPECT_EQ(FoldCase("\xD0\x41"), "\xD0"
                                    "a")
        << "a lead byte without its continuation";
    EXPECT_EQ(FoldCase("\xE0\x81\x81"), "\xE0\x81\x81") << "an overlong \"A\" is no letter";
    EXPECT_EQ(FoldCase(std::string("\0Z", 2)), std::string("\0z", 2));
}

} // namespace
} // namespace ordalis::test
