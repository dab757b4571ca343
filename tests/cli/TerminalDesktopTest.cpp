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

namespace ordalis::cli {
namespace {

// A long step's progress is a status line of bytes done and total, rewritten
// once per mebibyte, on a terminal only and never with --json.
class TerminalProgressLine : public ::testing::Test {
protected:
    std::string progressShown(bool interactive, bool json, std::uint64_t bytes)
    {
        std::istringstream in;
        std::ostringstream out, err;
        Terminal terminal{in, out, err, interactive, nullptr, nullptr};
        TerminalDesktop desktop(terminal, json);
        desktop.runLongStep({"Расшифрование файла", "big.enc", bytes}, [&](StepProgress& progress) {
            progress.setTotal(bytes);
            for (const std::uint64_t done : {kMiB - 1, kMiB, kMiB + 7, 2 * kMiB, bytes})
                progress.setDone(done);
        });
        EXPECT_TRUE(out.str().empty());
        return err.str();
    }

    static constexpr std::uint64_t kMiB = 1024 * 1024;
};

TEST_F(TerminalProgressLine, ShowsMebibytesDoneOfTheTotal)
{
    EXPECT_EQ(progressShown(true, false, 20 * kMiB), "\r\033[Kbig.enc: 0 of 20 MB\r\033[Kbig.enc: 1 of 20 MB"
                                                     "\r\033[Kbig.enc: 2 of 20 MB\r\033[Kbig.enc: 20 of 20 MB");
}

TEST_F(TerminalProgressLine, QuietForScriptsJsonAndSmallFiles)
{
    EXPECT_EQ(progressShown(false, false, 20 * kMiB), "");
    EXPECT_EQ(progressShown(true, true, 20 * kMiB), "");
    EXPECT_EQ(progressShown(true, false, 3 * kMiB), "");
}

} // namespace
} // namespace ordalis::cli
