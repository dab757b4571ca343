// The bash completion scripts as bash runs them: what each word completes to.

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace ordalis::test {
namespace {

class Completion : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(folder.file("partner.cer"), ""); }

    // What bash offers for the last of the words typed after the program's name.
    std::string complete(const std::string& script, const std::string& function, const std::vector<std::string>& words)
    {
        std::string line = "cd '" + folder.path() + "' && . '" + script + "' && COMP_WORDS=(program";
        for (const std::string& word : words)
            line += " '" + word + "'";
        line +=
            ") && COMP_CWORD=" + std::to_string(words.size()) + " && " + function + " && echo \"${COMPREPLY[*]}\"\n";
        WriteFile(folder.file("ask.sh"), line);
        const std::string command = "bash '" + folder.file("ask.sh") + "' >'" + folder.file("reply") + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(folder.file("reply"));
        std::string reply = ReadFile(folder.file("reply"));
        if (!reply.empty() && reply.back() == '\n')
            reply.pop_back();
        return reply;
    }

    std::string cli(const std::vector<std::string>& words)
    {
        return complete(ORDALIS_CLI_COMPLETION, "_ordalis_cli", words);
    }

    TempDir folder;
};

TEST_F(Completion, CliVerbsAndTheOptionsOfEach)
{
    EXPECT_EQ(cli({""}), "sign verify enhance encrypt decrypt --help");
    EXPECT_EQ(cli({"de"}), "decrypt");
    EXPECT_EQ(
        cli({"sign", "--"}),
        "--json --help --cert --attached --base64 --pack --password-file --cades --cosign --tsa --level --timeout "
        "--ocsp --fetch-crls");
    EXPECT_EQ(cli({"enhance", "--"}), "--json --help --tsa --level --timeout --ocsp --fetch-crls");
    EXPECT_EQ(cli({"sign", "--cosign", "part"}), "partner.cer");
    EXPECT_EQ(cli({"verify", "--"}),
              "--json --help --details --trusted --revocation --extract --signer-cert --online --ocsp --timeout");
    EXPECT_EQ(cli({"verify", "--signer-cert", "part"}), "partner.cer");
    EXPECT_EQ(cli({"encrypt", "--"}), "--json --help --cert --cert-file --self");
    EXPECT_EQ(cli({"decrypt", "--p"}), "--password-file");
    EXPECT_EQ(cli({"encrypt", "--cert-file", "part"}), "partner.cer");
    EXPECT_EQ(cli({"sign", "--password-file", "part"}), "partner.cer");
    EXPECT_EQ(cli({"sign", "--cert", "part"}), "") << "a certificate ID is no file name";
    EXPECT_EQ(cli({"sign", "part"}), "partner.cer");
}

TEST_F(Completion, StoreCommandsAndOptions)
{
    const std::string script = ORDALIS_STORE_COMPLETION;
    EXPECT_EQ(complete(script, "_ordalis_store", {"im"}), "import");
    EXPECT_EQ(complete(script, "_ordalis_store", {"new", "--alg", "gost2012_"}), "gost2012_256 gost2012_512");
    EXPECT_EQ(complete(script, "_ordalis_store", {"import", "part"}), "partner.cer");
    EXPECT_EQ(complete(script, "_ordalis_store", {"import", "x.cer", "--store", ""}), "MY AddressBook CA ROOT");
    EXPECT_EQ(complete(script, "_ordalis_store", {"list", "--st"}), "--store");
}

} // namespace
} // namespace ordalis::test
