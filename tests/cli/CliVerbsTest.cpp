// ordalis-cli's verbs as its command line sees them: which options each takes,
// the words of its refusals, and the program's help that lists them.

#include "tests/cli/CliRun.h"
#include "tests/support/ScopedLanguage.h"
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
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    const struct {
        const char* verb;
        std::vector<std::string> options;
    } verbs[] = {
        {"sign", {"--cert", "--attached", "--base64", "--pack", "--password-file", "--json", "--help"}},
        {"verify", {"--details", "--trusted", "--extract", "--signer-cert", "--json", "--help"}},
        {"encrypt", {"--cert", "--cert-file", "--self", "--json", "--help"}},
        {"decrypt", {"--password-file", "--json", "--help"}},
    };
    const std::vector<std::string> valued = {"--cert", "--cert-file", "--password-file", "--extract", "--signer-cert"};
    for (const auto& verb : verbs) {
        for (const char* option :
             {"--cert", "--cert-file", "--password-file", "--attached", "--base64", "--pack", "--json", "--help",
              "--details", "--trusted", "--extract", "--signer-cert", "--self"}) {
            std::vector<std::string> args = {verb.verb, "a.txt", option};
            if (std::count(valued.begin(), valued.end(), option))
                args.push_back("value");
            const bool takes = std::count(verb.options.begin(), verb.options.end(), option) != 0;
            EXPECT_EQ(Refusal(args), takes ? std::string("accepted")
                                           : "параметр " + std::string(option) + " не подходит к команде " + verb.verb)
                << verb.verb << " " << option;
        }
    }
    EXPECT_EQ(Refusal({}), "не указана команда (sign, verify, enhance, encrypt, decrypt)");
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

using test::CliRun;

TEST(CliVerbs, EncryptNeedsARecipient)
{
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"encrypt", "a.txt"}, {"encrypt", "a.txt", "--json", "--", "--self"}}) {
        const CliRun run = test::RunCliCaptured(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "ordalis-cli: encrypt needs a recipient: --cert ID, --cert-file CERT.cer or --self\n"
                           "'ordalis-cli --help' lists the commands.\n");
        EXPECT_TRUE(run.out.empty());
        const test::ScopedLanguage russian("ru_RU.UTF-8");
        EXPECT_EQ(test::RunCliCaptured(args).err,
                  "ordalis-cli: для encrypt нужен получатель: --cert ID, --cert-file СЕРТ.cer или --self\n"
                  "'ordalis-cli --help' перечисляет команды.\n");
    }
}

TEST(CliVerbs, ProgramHelpListsEveryVerb)
{
    const CliRun run = test::RunCliCaptured({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.out,
        "ordalis-cli - sign, verify, encrypt and decrypt files with GOST certificates\n\n"
        "  ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--cades] [--cosign SIG] "
        "[--tsa URL [--level t|xlt1]] [--password-file F] [--json]\n"
        "  ordalis-cli verify FILE SIGNATURE | FILE... | SIGNATURE [--extract OUT] [--signer-cert CERT] [--details] "
        "[--trusted [--revocation required]] [--online | --ocsp URL] [--json]\n"
        "  ordalis-cli enhance SIGNATURE... --tsa URL [--level t|xlt1] [--timeout S] [--json]\n"
        "  ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer | --self)... [--json]\n"
        "  ordalis-cli decrypt FILE... [--password-file F] [--json]\n\n"
        "'ordalis-cli VERB --help' describes a verb. Exit status: 0 every file succeeded,\n"
        "1 a signature is invalid (verify), 2 any other failure.\n");
    EXPECT_TRUE(run.err.empty());
}

TEST(CliVerbs, HelpSpeaksTheUsersLanguage)
{
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    const CliRun program = test::RunCliCaptured({"--help"});
    EXPECT_EQ(program.out.substr(0, program.out.find('\n')),
              "ordalis-cli — подпись, проверка, шифрование и расшифровка файлов с сертификатами ГОСТ");
    EXPECT_NE(program.out.find("  ordalis-cli verify ФАЙЛ ПОДПИСЬ | ФАЙЛ... | ПОДПИСЬ"), std::string::npos)
        << program.out;
    const CliRun verb = test::RunCliCaptured({"decrypt", "--help"});
    EXPECT_NE(verb.out.find("Расшифровывает каждый ФАЙЛ.enc"), std::string::npos) << verb.out;
    // Each sign form has its explanation and an example in both languages.
    const std::string signRu = test::RunCliCaptured({"sign", "--help"}).out;
    EXPECT_NE(signRu.find("--cades          CAdES-BES: подписанные атрибуты"), std::string::npos) << signRu;
    EXPECT_NE(signRu.find("--cosign ПОДПИСЬ добавить подписавшего"), std::string::npos) << signRu;
    EXPECT_NE(signRu.find("  ordalis-cli sign contract.pdf --cert 'Иванов' --cades --attached\n"), std::string::npos);
    EXPECT_NE(signRu.find("  ordalis-cli sign contract.pdf --cert 'Петров' --cosign contract.pdf.sig --cades\n"),
              std::string::npos);
    const test::ScopedLanguage english("en_GB.UTF-8");
    EXPECT_NE(test::RunCliCaptured({"decrypt", "--help"}).out.find("Decrypts each FILE.enc"), std::string::npos);
    const std::string sign = test::RunCliCaptured({"sign", "--help"}).out;
    EXPECT_NE(sign.find("--cades          CAdES-BES: signed attributes"), std::string::npos) << sign;
    EXPECT_NE(sign.find("--cosign SIG     add a signer"), std::string::npos) << sign;
    EXPECT_NE(sign.find("  ordalis-cli sign contract.pdf --cert 'Петров' --cosign contract.pdf.sig --cades\n"),
              std::string::npos);
}

TEST(CliVerbs, EncryptHelpOwnsUpToTheCiphersItDoesNotWrite)
{
    const struct {
        const char* locale;
        std::vector<std::string> phrases;
    } languages[] = {
        {"en_GB.UTF-8",
         {"(--cert ID | --cert-file CERT.cer | --self)...", "Kuznyechik and Magma envelopes are not written",
          "Decrypting such envelopes from other programs works",
          "ordalis-cli encrypt contract.pdf --cert-file partner.cer --cert 'Петров' --self\n"}},
        {"ru_RU.UTF-8",
         {"(--cert ID | --cert-file СЕРТ.cer | --self)...", "Конверты с шифрами Кузнечик и Магма не пишутся",
          "Такие конверты из других программ расшифровываются",
          "ordalis-cli encrypt contract.pdf --cert-file partner.cer --cert 'Петров' --self\n"}},
    };
    for (const auto& language : languages) {
        const test::ScopedLanguage chosen(language.locale);
        const CliRun run = test::RunCliCaptured({"encrypt", "--help"});
        EXPECT_EQ(run.status, 0);
        for (const std::string& phrase : language.phrases)
            EXPECT_NE(run.out.find(phrase), std::string::npos) << language.locale << ": " << phrase << "\n" << run.out;
    }
}

} // namespace
} // namespace ordalis::cli
