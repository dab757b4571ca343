#include "tools/cli/CliOptions.h"

#include <map>

namespace ordalis::cli {

namespace {

const std::map<std::string, Verb> kVerbs = {
    {"sign", Verb::Sign}, {"verify", Verb::Verify}, {"encrypt", Verb::Encrypt}, {"decrypt", Verb::Decrypt}};

bool Allowed(Verb verb, const std::string& option)
{
    if (option == "--json" || option == "--help")
        return true;
    switch (verb) {
    case Verb::Sign:
        return option == "--cert" || option == "--attached" || option == "--base64" || option == "--pack" ||
               option == "--password-file";
    case Verb::Verify: return false;
    case Verb::Encrypt: return option == "--cert" || option == "--cert-file";
    case Verb::Decrypt: return option == "--password-file";
    }
    return false;
}

std::string VerbName(Verb verb)
{
    for (const auto& [name, v] : kVerbs)
        if (v == verb)
            return name;
    return {};
}

void Validate(const CliOptions& options)
{
    if (options.help)
        return;
    if (options.files.empty())
        throw UsageError{"не указан ни один файл"};
    if (options.verb == Verb::Encrypt && options.certId.has_value() == options.certFile.has_value())
        throw UsageError{"для encrypt нужен ровно один из параметров --cert или --cert-file"};
}

} // namespace

CliOptions ParseCliOptions(const std::vector<std::string>& args)
{
    if (args.empty())
        throw UsageError{"не указана команда (sign, verify, encrypt, decrypt)"};
    CliOptions options;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        options.help = true;
        return options;
    }
    const auto verb = kVerbs.find(args[0]);
    if (verb == kVerbs.end())
        throw UsageError{"неизвестная команда: " + args[0]};
    options.verb = verb->second;

    bool onlyFiles = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        const std::string option = arg == "-h" ? "--help" : arg;
        if (!Allowed(options.verb, option))
            throw UsageError{"параметр " + arg + " не подходит к команде " + VerbName(options.verb)};
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{"после " + arg + " нужно значение"};
            return args[++i];
        };
        if (option == "--help") options.help = true;
        else if (option == "--json") options.json = true;
        else if (option == "--attached") options.attached = true;
        else if (option == "--base64") options.base64 = true;
        else if (option == "--pack") options.pack = true;
        else if (option == "--cert") options.certId = value();
        else if (option == "--cert-file") options.certFile = value();
        else if (option == "--password-file") options.passwordFile = value();
    }
    Validate(options);
    return options;
}

std::string HelpText(const std::string& verb)
{
    if (verb == "sign")
        return "ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]\n"
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
    if (verb == "verify")
        return "ordalis-cli verify FILE SIGNATURE [FILE SIGNATURE...] [--json]\n"
               "ordalis-cli verify FILE... [--json]\n"
               "  Verifies detached signatures. Give pairs of a file and its signature, or files alone\n"
               "  whose FILE.sig or FILE.p7s lies beside them (FILE.sig when both do). Prints the report\n"
               "  for each.\n"
               "  Exit status: 0 all valid, 1 a signature is invalid, 2 an error.\n"
               "Examples:\n"
               "  ordalis-cli verify report.pdf report.pdf.sig\n"
               "  ordalis-cli verify *.pdf --json\n";
    if (verb == "encrypt")
        return "ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]\n"
               "  Encrypts each FILE for one recipient into FILE.enc.\n"
               "  --cert ID        recipient from the personal store (serial, thumbprint or subject part)\n"
               "  --cert-file F    recipient from a DER certificate file\n"
               "Examples:\n"
               "  ordalis-cli encrypt report.pdf --cert-file partner.cer\n"
               "  ordalis-cli encrypt *.xlsx --cert 'ООО Ромашка'\n";
    if (verb == "decrypt")
        return "ordalis-cli decrypt FILE... [--password-file F] [--json]\n"
               "  Decrypts each FILE.enc with the matching key of the personal store into FILE.\n"
               "Examples:\n"
               "  ordalis-cli decrypt report.pdf.enc\n"
               "  ordalis-cli decrypt *.enc --password-file ~/.key-password\n";
    return "ordalis-cli - sign, verify, encrypt and decrypt files with GOST certificates\n\n"
           "  ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]\n"
           "  ordalis-cli verify FILE SIGNATURE [--json]\n"
           "  ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]\n"
           "  ordalis-cli decrypt FILE... [--password-file F] [--json]\n\n"
           "'ordalis-cli VERB --help' describes a verb. Exit status: 0 every file succeeded,\n"
           "1 a signature is invalid (verify), 2 any other failure.\n";
}

} // namespace ordalis::cli
