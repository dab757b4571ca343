// A file name put into a command the user is told to run must reach that command unchanged.

#include "tools/common/ShellWord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

namespace ordalis::tools {
namespace {

// What sh makes of the word: the one argument printf receives.
std::string AsTheShellReadsIt(const std::string& word)
{
    const std::string command = "printf %s " + word;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string read;
    std::array<char, 256> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()))
        read += buffer.data();
    return read;
}

TEST(ShellWord, EveryNameComesThroughTheShellAsOneUnchangedWord)
{
    for (const std::string name : {"plain.p12", "/home/u/Ключи/иванов.p12", "with space.p12", "it's.p12",
                                   "$(echo x).p12", "a;b|c&d", "*.p12", "tab\there", "~user", "''"})
        EXPECT_EQ(AsTheShellReadsIt(ShellWord(name)), name) << ShellWord(name);
    EXPECT_EQ(ShellWord("plain.p12"), "plain.p12") << "nothing to quote, nothing quoted";
    EXPECT_EQ(ShellWord(""), "''");
}

} // namespace
} // namespace ordalis::tools
