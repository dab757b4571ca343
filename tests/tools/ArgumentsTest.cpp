// The argument parser both terminal programs share, under each convention it offers.

#include "tools/common/Arguments.h"
#include "tests/support/ScopedLanguage.h"

#include <gtest/gtest.h>

namespace ordalis::tools {
namespace {

ArgumentGrammar Grammar()
{
    ArgumentGrammar grammar;
    grammar.options = {{"--cert", true}, {"--yes", false}};
    grammar.helpWords = {"--help", "-h"};
    grammar.unknownOption = [](const std::string& name) { return "unknown " + name; };
    return grammar;
}

std::string Refusal(const std::vector<std::string>& words, const ArgumentGrammar& grammar)
{
    try {
        ParseArguments(words, grammar);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(Arguments, OptionsAndPositionalWordsInAnyOrder)
{
    const ParsedArguments parsed = ParseArguments({"a", "--cert", "--yes", "b", "--yes", "-x", "--", "-"}, Grammar());
    EXPECT_EQ(parsed.positional, (std::vector<std::string>{"a", "b", "-x", "--", "-"}));
    EXPECT_EQ(parsed.value("--cert"), "--yes") << "a valued option takes the next word whatever it is";
    EXPECT_TRUE(parsed.flag("--yes"));
    EXPECT_FALSE(parsed.help);
    EXPECT_EQ(parsed.value("--absent"), std::nullopt);
}

TEST(Arguments, HelpWordsStandAnywhere)
{
    EXPECT_TRUE(ParseArguments({"a", "-h"}, Grammar()).help);
    EXPECT_TRUE(ParseArguments({"--help", "a"}, Grammar()).help);
    EXPECT_EQ(ParseArguments({"--help", "a"}, Grammar()).positional, std::vector<std::string>{"a"});
    EXPECT_EQ(Refusal({"--help", "--bogus"}, Grammar()), "unknown --bogus") << "help does not hide a mistake";
}

TEST(Arguments, Refusals)
{
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    const ArgumentGrammar grammar = Grammar();
    EXPECT_EQ(Refusal({"--bogus"}, grammar), "unknown --bogus");
    EXPECT_EQ(Refusal({"a", "--cert"}, grammar), "после --cert нужно значение");
    EXPECT_EQ(Refusal({"--cert=x"}, grammar), "unknown --cert=x") << "no inline values unless asked for";
    EXPECT_EQ(Refusal({"--cert", "x", "--cert", "y"}, grammar), "accepted");
    EXPECT_EQ(ParseArguments({"--cert", "x", "--cert", "y"}, grammar).value("--cert"), "y") << "the last one counts";
}

TEST(Arguments, SequenceKeepsEveryOptionInItsOrder)
{
    const ParsedArguments parsed =
        ParseArguments({"--cert", "b", "f", "--yes", "--cert", "a", "--cert", "b"}, Grammar());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"--cert", "b"}, {"--yes", ""}, {"--cert", "a"}, {"--cert", "b"}};
    EXPECT_EQ(parsed.sequence, expected);
    EXPECT_EQ(parsed.positional, std::vector<std::string>{"f"});
    ArgumentGrammar grammar = Grammar();
    grammar.doubleDashEndsOptions = true;
    EXPECT_TRUE(ParseArguments({"--", "--cert", "x"}, grammar).sequence.empty()) << "words after -- are no options";
}

TEST(Arguments, DoubleDashEndsTheOptionsWhenTheGrammarSaysSo)
{
    ArgumentGrammar grammar = Grammar();
    grammar.doubleDashEndsOptions = true;
    const ParsedArguments parsed = ParseArguments({"--yes", "--", "--cert", "--help", "--", "-h"}, grammar);
    EXPECT_EQ(parsed.positional, (std::vector<std::string>{"--cert", "--help", "--", "-h"}));
    EXPECT_FALSE(parsed.help);
    EXPECT_FALSE(parsed.flag("--cert"));
}

TEST(Arguments, InlineValuesAndRepeats)
{
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    ArgumentGrammar grammar = Grammar();
    grammar.valueAfterEquals = true;
    grammar.repeatIsError = true;
    const ParsedArguments parsed = ParseArguments({"--cert=CN=a=b", "x"}, grammar);
    EXPECT_EQ(parsed.value("--cert"), "CN=a=b") << "split at the first =";
    EXPECT_EQ(ParseArguments({"--cert="}, grammar).value("--cert"), "");
    EXPECT_EQ(Refusal({"--yes=1"}, grammar), "unknown --yes") << "a flag takes no value";
    EXPECT_EQ(Refusal({"--bogus=1"}, grammar), "unknown --bogus");
    EXPECT_EQ(Refusal({"--yes", "--yes"}, grammar), "параметр --yes задан дважды");
    EXPECT_EQ(Refusal({"--cert", "a", "--cert=b"}, grammar), "параметр --cert задан дважды");
}

} // namespace
} // namespace ordalis::tools
