// ordalis-cli's verbs as its command line sees them: which options each takes,
// the words of its refusals, and the program's help that lists them.

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliRunner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ordalis::cli {
namespace {

std::string Refusal(const std::vector<std::string>& args)
{
    try {
        ParseCliOptions(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(CliVerbs, EachVerbTakesItsOwnOptions)
{
    const struct {
        const char* verb;
        std::vector<std::string> options;
    } verbs[] = {
        {"sign", {"--cert", "--attached", "--base64", "--pack", "--password-file", "--json", "--help"}},
        {"verify", {"--json", "--help"}},
        {"encrypt", {"--cert", "--cert-file", "--json", "--help"}},
        {"decrypt", {"--password-file", "--json", "--help"}},
    };
    const std::vector<std::string> valued = {"--cert", "--cert-file", "--password-file"};
    for (const auto& verb : verbs) {
        for (const char* option :
             {"--cert", "--cert-file", "--password-file", "--attached", "--base64", "--pack", "--json", "--help"}) {
            std::vector<std::string> args = {verb.verb, "a.txt", option};
            if (std::count(valued.begin(), valued.end(), option))
                args.push_back("value");
            const bool takes = std::count(verb.options.begin(), verb.options.end(), option) != 0;
            EXPECT_EQ(Refusal(args), takes ? std::string("accepted")
                                           : "параметр " + std::string(option) + " не подходит к команде " + verb.verb)
                << verb.verb << " " << option;
        }
    }
    EXPECT_EQ(Refusal({}), "не указана команда (sign, verify, encrypt, decrypt)");
    EXPECT_EQ(Refusal({"Sign", "a.txt"}), "неизвестная команда: Sign");
    EXPECT_EQ(Refusal({"decrypt", "--json"}), "не указан ни один файл");
}

TEST(CliVerbs, ParsedOptionsAndFiles)
{
    const CliOptions options =
        ParseCliOptions({"sign", "a", "--cert", "--pack", "--base64", "b", "--", "--json", "-h"});
    ASSERT_NE(options.verb, nullptr);
    EXPECT_EQ(options.verb->name, "sign");
    EXPECT_EQ(options.value("--cert"), "--pack");
    EXPECT_TRUE(options.flag("--base64"));
    EXPECT_FALSE(options.flag("--json"));
    EXPECT_EQ(options.files(), (std::vector<std::string>{"a", "b", "--json", "-h"}));
    EXPECT_TRUE(ParseCliOptions({"help"}).help);
    EXPECT_TRUE(ParseCliOptions({"verify", "--help"}).help) << "help needs no file";
}

TEST(CliVerbs, ProgramHelpListsEveryVerb)
{
    std::istringstream in;
    std::ostringstream out, err;
    Terminal terminal{in, out, err, false, nullptr, nullptr};
    EXPECT_EQ(RunCli({"--help"}, terminal), 0);
    EXPECT_EQ(out.str(),
              "ordalis-cli - sign, verify, encrypt and decrypt files with GOST certificates\n\n"
              "  ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]\n"
              "  ordalis-cli verify FILE SIGNATURE [--json]\n"
              "  ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]\n"
              "  ordalis-cli decrypt FILE... [--password-file F] [--json]\n\n"
              "'ordalis-cli VERB --help' describes a verb. Exit status: 0 every file succeeded,\n"
              "1 a signature is invalid (verify), 2 any other failure.\n");
    EXPECT_TRUE(err.str().empty());
}

} // namespace
} // namespace ordalis::cli
