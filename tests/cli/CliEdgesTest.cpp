// The command line's edges: password files from other systems, which signature
// beside a file is taken, and the error line's final full stop.

#include "tests/cli/CliRun.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

class CliEdges : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        ::mkdir(store.path("").c_str(), 0700);
        WriteFile(file("a.txt"), "content of a.txt");
    }

    CliRun cli(const std::vector<std::string>& args) { return RunCliCaptured(args); }

    std::string file(const std::string& name) { return store.path(name); }

    TestStore store;
};

// The lines of text, without their line feeds.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(CliEdges, PasswordFileWithWindowsLineEndOpensTheKey)
{
    WriteFile(file("password.txt"), std::string(kProtectedKeyPassword) + "\r\nsecond line\r\n");
    const std::string serial = store.get("protected").serialHex;
    const CliRun signing = cli({"sign", file("a.txt"), "--cert", serial, "--password-file", file("password.txt")});
    EXPECT_EQ(signing.status, 0) << signing.err;
    EXPECT_EQ(cli({"verify", file("a.txt")}).status, 0);

    ASSERT_EQ(cli({"encrypt", file("a.txt"), "--cert", serial}).status, 0);
    ::unlink(file("a.txt").c_str());
    const CliRun decrypting = cli({"decrypt", file("a.txt.enc"), "--password-file", file("password.txt")});
    EXPECT_EQ(decrypting.status, 0) << decrypting.err;
    EXPECT_EQ(ReadFile(file("a.txt")), "content of a.txt");
}

TEST_F(CliEdges, WithBothSignaturesBesideAFileTheDerOneIsTaken)
{
    ASSERT_EQ(cli({"sign", file("a.txt"), "--cert", store.get("gost2012_256").serialHex}).status, 0);
    const std::string good = ReadFile(file("a.txt.sig"));
    std::string bad = good;
    bad.back() = static_cast<char>(bad.back() ^ 1);

    WriteFile(file("a.txt.p7s"), "not a signature");
    EXPECT_EQ(cli({"verify", file("a.txt")}).status, 0) << "a.txt.sig taken";

    WriteFile(file("a.txt.sig"), bad);
    ASSERT_EQ(cli({"sign", file("a.txt"), "--base64", "--cert", store.get("gost2012_256").serialHex}).status, 0);
    const CliRun run = cli({"verify", file("a.txt")});
    EXPECT_EQ(run.status, 1) << "a.txt.sig, damaged, taken over the good a.txt.p7s";
    EXPECT_NE(run.out.find("X - Подпись математически не верна"), std::string::npos) << run.out;
}

TEST_F(CliEdges, ErrorLineEndingInACyrillicLetterGainsTheFullStop)
{
    // No content cipher goes with an RSA key: the error's text ends in a Russian word.
    const CliRun run = cli({"encrypt", file("a.txt"), "--cert-file", store.get("rsa").derFile});
    EXPECT_EQ(run.status, 2);
    const auto lines = Lines(run.err);
    ASSERT_GE(lines.size(), 2u) << run.err;
    EXPECT_EQ(lines[lines.size() - 2], "Неизвестный криптографический алгоритм.") << run.err;
}

TEST_F(CliEdges, ProtectedKeyWithNobodyToAskFailsTheFile)
{
    // Without a terminal or --password-file nobody can give the key's password.
    const CliRun run = cli({"sign", file("a.txt"), "--cert", store.get("protected").serialHex});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err, "Не удалось определить криптопровайдер\n0 signed, 1 failed\n");
    EXPECT_FALSE(FileExists(file("a.txt.sig")));
}

} // namespace
