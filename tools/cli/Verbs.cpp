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
    "ordalis-cli verify FILE SIGNATURE [FILE SIGNATURE...] [OPTIONS]\n"
    "ordalis-cli verify FILE... [OPTIONS]\n"
    "ordalis-cli verify SIGNATURE [--extract OUT] [OPTIONS]\n"
    "  Verifies signatures. Give pairs of a file and its signature, or files alone whose\n"
    "  FILE.sig, FILE.p7s, FILE.p7m or FILE.sgn lies beside them (the first found), or an\n"
    "  attached signature alone. Signatures may be DER, Base64 or PEM. Prints the report for each.\n"
    "  --details        every signer, the signed attributes and the certificate path after the report\n"
    "  --trusted        valid only when the signer's chain leads to a root of the ROOT store\n"
    "                   and is not revoked\n"
    "  --extract OUT    write the content an attached signature carries to OUT\n"
    "  --signer-cert F  the signer's certificate, for a signature that does not carry it\n"
    "                   (the stores are searched too)\n"
    "  --json           one JSON object per file: signers, signed attributes, trust, reason\n"
    "  Exit status: 0 all valid, 1 a signature is invalid (or untrusted with --trusted),\n"
    "  2 an error, or a signature file that is no signature.\n"
    "Examples:\n"
    "  ordalis-cli verify report.pdf report.pdf.sig --details\n"
    "  ordalis-cli verify report.pdf.p7m --extract report.pdf --trusted\n"
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
        {"verify",
         {"--details", "--trusted", "--extract", "--signer-cert"},
         "ordalis-cli verify FILE SIGNATURE | FILE... | SIGNATURE [--extract OUT] [--signer-cert CERT] [--details] "
         "[--trusted] [--json]",
         kVerifyHelp,
         {"valid", "invalid", "failed"},
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
        {"--details", OptionValue::None},  {"--trusted", OptionValue::None},   {"--extract", OptionValue::File},
        {"--signer-cert", OptionValue::File},
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
