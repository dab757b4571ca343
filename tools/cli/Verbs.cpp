#include "tools/cli/Verbs.h"

#include "tools/cli/VerbRuns.h"

#include <algorithm>

namespace ordalis::cli {

namespace {

constexpr std::string_view kSignHelp =
    "ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]\n"
    "  Signs each FILE and writes FILE.sig (DER) or, with --base64, FILE.p7s beside it.\n"
    "  --cert ID        certificate: serial number, SHA-1 thumbprint or a unique part of the subject\n"
    "                   (without it, a terminal lists the certificates with keys and asks)\n"
    "  --attached       put the file's content inside the signature\n"
    "  --base64         write Base64 text (.p7s) instead of DER (.sig)\n"
    "  --pack           also pack the file and its signature into FILE.sig.7z\n"
    "  --password-file F  first line of F is the key's password (else asked once per key)\n"
    "  --json           one JSON object per file on standard output\n"
    "Examples:\n"
    "  ordalis-cli sign report.pdf --cert 'Иванов'\n"
    "  ordalis-cli sign *.pdf --cert 3A7F01 --base64 --pack\n";

constexpr std::string_view kVerifyHelp =
    "ordalis-cli verify FILE SIGNATURE [FILE SIGNATURE...] [--json]\n"
    "ordalis-cli verify FILE... [--json]\n"
    "  Verifies detached signatures. Give pairs of a file and its signature, or files alone\n"
    "  whose FILE.sig or FILE.p7s lies beside them (FILE.sig when both do). Prints the report\n"
    "  for each.\n"
    "  Exit status: 0 all valid, 1 a signature is invalid, 2 an error.\n"
    "Examples:\n"
    "  ordalis-cli verify report.pdf report.pdf.sig\n"
    "  ordalis-cli verify *.pdf --json\n";

constexpr std::string_view kEncryptHelp =
    "ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]\n"
    "  Encrypts each FILE for one recipient into FILE.enc.\n"
    "  --cert ID        recipient from the personal store (serial, thumbprint or subject part)\n"
    "  --cert-file F    recipient from a DER certificate file\n"
    "Examples:\n"
    "  ordalis-cli encrypt report.pdf --cert-file partner.cer\n"
    "  ordalis-cli encrypt *.xlsx --cert 'ООО Ромашка'\n";

constexpr std::string_view kDecryptHelp =
    "ordalis-cli decrypt FILE... [--password-file F] [--json]\n"
    "  Decrypts each FILE.enc with the matching key of the personal store into FILE.\n"
    "Examples:\n"
    "  ordalis-cli decrypt report.pdf.enc\n"
    "  ordalis-cli decrypt *.enc --password-file ~/.key-password\n";

} // namespace

const std::vector<Verb>& Verbs()
{
    static const std::vector<Verb> verbs = {
        {"sign",
         {"--cert", "--attached", "--base64", "--pack", "--password-file"},
         "ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]",
         kSignHelp,
         {"signed", "", "failed"},
         RunSign},
        {"verify", {}, "ordalis-cli verify FILE SIGNATURE [--json]", kVerifyHelp, {"valid", "invalid", "failed"},
         RunVerify},
        {"encrypt",
         {"--cert", "--cert-file"},
         "ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]",
         kEncryptHelp,
         {"encrypted", "", "failed"},
         RunEncrypt},
        {"decrypt",
         {"--password-file"},
         "ordalis-cli decrypt FILE... [--password-file F] [--json]",
         kDecryptHelp,
         {"decrypted", "", "failed"},
         RunDecrypt},
    };
    return verbs;
}

const Verb* FindVerb(std::string_view name)
{
    const auto& verbs = Verbs();
    const auto found = std::find_if(verbs.begin(), verbs.end(), [&](const Verb& verb) { return verb.name == name; });
    return found == verbs.end() ? nullptr : &*found;
}

const std::vector<CliOption>& CliOptionList()
{
    static const std::vector<CliOption> options = {
        {"--cert", OptionValue::Text},     {"--cert-file", OptionValue::File}, {"--password-file", OptionValue::File},
        {"--attached", OptionValue::None}, {"--base64", OptionValue::None},    {"--pack", OptionValue::None},
        {"--json", OptionValue::None},     {"--help", OptionValue::None},
    };
    return options;
}

const std::vector<std::string_view>& OptionsOfEveryVerb()
{
    static const std::vector<std::string_view> options = {"--json", "--help"};
    return options;
}

const CliOption* FindCliOption(std::string_view name)
{
    const auto& options = CliOptionList();
    const auto found =
        std::find_if(options.begin(), options.end(), [&](const CliOption& option) { return option.name == name; });
    return found == options.end() ? nullptr : &*found;
}

} // namespace ordalis::cli
