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

constexpr std::string_view kSignHelpRu =
    "ordalis-cli sign ФАЙЛ... [--cert ID] [--attached] [--base64] [--pack] [--password-file Ф] [--json]\n"
    "  Подписывает каждый ФАЙЛ и пишет рядом ФАЙЛ.sig (DER) или, с --base64, ФАЙЛ.p7s.\n"
    "  --cert ID        сертификат: серийный номер, отпечаток SHA-1 или часть имени субъекта,\n"
    "                   подходящая только к нему (без него терминал покажет сертификаты с ключом и спросит)\n"
    "  --attached       вложить содержимое файла в подпись\n"
    "  --base64         писать текст Base64 (.p7s) вместо DER (.sig)\n"
    "  --pack           также упаковать файл и его подпись в ФАЙЛ.sig.7z\n"
    "  --password-file Ф  пароль ключа в первой строке файла Ф (иначе спрашивается один раз для ключа)\n"
    "  --json           по одному объекту JSON на файл в стандартный вывод\n"
    "Примеры:\n"
    "  ordalis-cli sign report.pdf --cert 'Иванов'\n"
    "  ordalis-cli sign *.pdf --cert 3A7F01 --base64 --pack\n";

constexpr std::string_view kVerifyHelpRu =
    "ordalis-cli verify ФАЙЛ ПОДПИСЬ [ФАЙЛ ПОДПИСЬ...] [--json]\n"
    "ordalis-cli verify ФАЙЛ... [--json]\n"
    "  Проверяет отсоединенные подписи. Укажите пары из файла и его подписи или только файлы,\n"
    "  рядом с которыми лежит ФАЙЛ.sig или ФАЙЛ.p7s (ФАЙЛ.sig, если есть оба). Для каждой\n"
    "  подписи печатает отчет.\n"
    "  Код возврата: 0 все подписи верны, 1 есть неверная подпись, 2 ошибка.\n"
    "Примеры:\n"
    "  ordalis-cli verify report.pdf report.pdf.sig\n"
    "  ordalis-cli verify *.pdf --json\n";

constexpr std::string_view kEncryptHelpRu =
    "ordalis-cli encrypt ФАЙЛ... (--cert ID | --cert-file СЕРТ.cer) [--json]\n"
    "  Шифрует каждый ФАЙЛ для одного получателя в ФАЙЛ.enc.\n"
    "  --cert ID        получатель из личного хранилища (серийный номер, отпечаток или часть имени)\n"
    "  --cert-file Ф    получатель из файла сертификата в DER\n"
    "Примеры:\n"
    "  ordalis-cli encrypt report.pdf --cert-file partner.cer\n"
    "  ordalis-cli encrypt *.xlsx --cert 'ООО Ромашка'\n";

constexpr std::string_view kDecryptHelpRu =
    "ordalis-cli decrypt ФАЙЛ... [--password-file Ф] [--json]\n"
    "  Расшифровывает каждый ФАЙЛ.enc подходящим ключом личного хранилища в ФАЙЛ.\n"
    "Примеры:\n"
    "  ordalis-cli decrypt report.pdf.enc\n"
    "  ordalis-cli decrypt *.enc --password-file ~/.key-password\n";

} // namespace

const std::vector<Verb>& Verbs()
{
    static const std::vector<Verb> verbs = {
        {"sign",
         {"--cert", "--attached", "--base64", "--pack", "--password-file"},
         {"ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--password-file F] [--json]",
          "ordalis-cli sign ФАЙЛ... [--cert ID] [--attached] [--base64] [--pack] [--password-file Ф] [--json]"},
         {kSignHelp, kSignHelpRu},
         {{"signed", "подписано"}, {}, {"failed", "не удалось"}},
         RunSign},
        {"verify",
         {},
         {"ordalis-cli verify FILE SIGNATURE [--json]", "ordalis-cli verify ФАЙЛ ПОДПИСЬ [--json]"},
         {kVerifyHelp, kVerifyHelpRu},
         {{"valid", "верны"}, {"invalid", "неверны"}, {"failed", "не удалось"}},
         RunVerify},
        {"encrypt",
         {"--cert", "--cert-file"},
         {"ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer) [--json]",
          "ordalis-cli encrypt ФАЙЛ... (--cert ID | --cert-file СЕРТ.cer) [--json]"},
         {kEncryptHelp, kEncryptHelpRu},
         {{"encrypted", "зашифровано"}, {}, {"failed", "не удалось"}},
         RunEncrypt},
        {"decrypt",
         {"--password-file"},
         {"ordalis-cli decrypt FILE... [--password-file F] [--json]",
          "ordalis-cli decrypt ФАЙЛ... [--password-file Ф] [--json]"},
         {kDecryptHelp, kDecryptHelpRu},
         {{"decrypted", "расшифровано"}, {}, {"failed", "не удалось"}},
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
