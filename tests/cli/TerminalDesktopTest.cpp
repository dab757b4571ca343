// The command line's password answers: a typed password is asked once per key
// for the whole batch, a password file's is given once and never asked again.

#include "tools/cli/TerminalDesktop.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ordalis::cli {
namespace {

class TerminalPasswords : public ::testing::Test {
protected:
    TerminalPasswords()
        : terminal{in,
                   out,
                   err,
                   true,
                   [this](const std::string& prompt) -> std::optional<std::string> {
                       prompts.push_back(prompt);
                       return "typed-" + std::to_string(prompts.size());
                   },
                   nullptr}
    {
    }

    std::istringstream in;
    std::ostringstream out, err;
    std::vector<std::string> prompts;
    Terminal terminal;
};

TEST_F(TerminalPasswords, TypedOncePerKeyAndAgainWhenWrong)
{
    TerminalDesktop desktop(terminal, false);
    EXPECT_EQ(desktop.askPassword("CN=A", 1), "typed-1");
    EXPECT_EQ(desktop.askPassword("CN=A", 1), "typed-1") << "the next file's key is opened without asking";
    EXPECT_EQ(desktop.askPassword("CN=B", 1), "typed-2");
    EXPECT_EQ(desktop.askPassword("CN=A", 2), "typed-3");
    EXPECT_EQ(desktop.askPassword("CN=A", 1), "typed-3") << "the corrected password is the one kept";
    EXPECT_EQ(prompts, (std::vector<std::string>{"Пароль закрытого ключа CN=A: ", "Пароль закрытого ключа CN=B: ",
                                                 "Неверный пароль. Пароль закрытого ключа CN=A: "}));
}

TEST_F(TerminalPasswords, FilePasswordIsGivenOnceAndNothingIsAsked)
{
    TerminalDesktop desktop(terminal, false);
    desktop.setPasswordFromFile(tools::Secret(std::string("from-file")));
    EXPECT_EQ(desktop.askPassword("CN=A", 1), "from-file");
    EXPECT_EQ(desktop.askPassword("CN=B", 1), "from-file");
    EXPECT_EQ(desktop.askPassword("CN=A", 2), std::nullopt);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(TerminalPasswords, NobodyAtTheTerminalIsNotAsked)
{
    terminal.interactive = false;
    TerminalDesktop desktop(terminal, false);
    EXPECT_EQ(desktop.askPassword("CN=A", 1), std::nullopt);
    EXPECT_TRUE(prompts.empty());
}

} // namespace
} // namespace ordalis::cli
