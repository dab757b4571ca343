#include "tools/cli/Verbs.h"

#include "tools/cli/VerbRuns.h"

#include <algorithm>

namespace ordalis::cli {

namespace {

constexpr std::string_view kSignHelp =
    "ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--cades] [--password-file F] [--json]\n"
    "ordalis-cli sign FILE --cosign SIGNATURE [--cert ID] [--cades] [--password-file F] [--json]\n"
    "  Signs each FILE and writes FILE.sig (DER) or, with --base64, FILE.p7s beside it.\n"
    "  --cert ID        certificate: serial number, SHA-1 thumbprint or a unique part of the subject\n"
    "                   (without it, a terminal lists the certificates with keys and asks)\n"
    "  --attached       put the file's content inside the signature (BER, written as the file is read)\n"
    "  --base64         write Base64 text (.p7s) instead of DER (.sig)\n"
    "  --pack           also pack the file and its signature into FILE.sig.7z\n"
    "  --cades          CAdES-BES: signed attributes with the signing time and a reference\n"
    "                   to the signer's certificate (without it: no signed attributes)\n"
    "  --cosign SIG     add a signer to the existing signature SIG of FILE, once every signer\n"
    "                   there is valid over FILE; SIG keeps its form and encoding\n"
    "                   (the added signer always has content type, digest and signing time)\n"
    "  --tsa URL        with --cades: a timestamp of the authority at URL over the signature (CAdES-T)\n"
    "  --level t|xlt1   with --tsa: xlt1 also embeds the certificates and CRLs of the signer's path\n"
    "                   and the authority's (from the stores), sealed by a second timestamp\n"
    "  --timeout S      seconds to wait for the authority and responders (default 30)\n"
    "  --ocsp URL       with xlt1: the OCSP responder to ask about each link (else the one each\n"
    "                   certificate names); a link it cannot answer for takes the CA store's CRL\n"
    "  --fetch-crls     with xlt1: a link without a current CRL in CA takes one from its CRL\n"
    "                   distribution points (kept in CA when its issuer is in ROOT or CA)\n"
    "  --password-file F  first line of F is the key's password (else asked once per key)\n"
    "  --json           one JSON object per file on standard output\n"
    "Examples:\n"
    "  ordalis-cli sign report.pdf --cert 'Иванов'\n"
    "  ordalis-cli sign *.pdf --cert 3A7F01 --base64 --pack\n"
    "  ordalis-cli sign contract.pdf --cert 'Иванов' --cades --attached\n"
    "  ordalis-cli sign contract.pdf --cert 'Петров' --cosign contract.pdf.sig --cades\n"
    "  ordalis-cli sign contract.pdf --cert 'Иванов' --cades --tsa http://tsa.example/tsp --level xlt1\n";

constexpr std::string_view kEnhanceHelp =
    "ordalis-cli enhance SIGNATURE... --tsa URL [--level t|xlt1] [--ocsp URL] [--fetch-crls] [--timeout S] [--json]\n"
    "  Raises every signer of each CAdES signature file to CAdES-T (a timestamp over its signature)\n"
    "  or, with --level xlt1, to CAdES-X Long Type 1; what a signer already has is kept, and the\n"
    "  file keeps its form and encoding. Every signer must hold over its signed attributes.\n"
    "Examples:\n"
    "  ordalis-cli enhance contract.pdf.sig --tsa http://tsa.example/tsp\n"
    "  ordalis-cli enhance *.sig --tsa http://tsa.example/tsp --level xlt1\n";

constexpr std::string_view kEnhanceHelpRu =
    "ordalis-cli enhance ПОДПИСЬ... --tsa URL [--level t|xlt1] [--ocsp URL] [--fetch-crls] [--timeout С] [--json]\n"
    "  Дополняет каждого подписавшего в файлах подписей CAdES до CAdES-T (штамп времени на подпись)\n"
    "  или, с --level xlt1, до CAdES-X Long Type 1; то, что у подписавшего уже есть, сохраняется,\n"
    "  файл сохраняет свой вид и кодировку. Подпись каждого подписавшего должна быть верна.\n"
    "Примеры:\n"
    "  ordalis-cli enhance contract.pdf.sig --tsa http://tsa.example/tsp\n"
    "  ordalis-cli enhance *.sig --tsa http://tsa.example/tsp --level xlt1\n";

constexpr std::string_view kVerifyHelp =
    "ordalis-cli verify FILE SIGNATURE [FILE SIGNATURE...] [OPTIONS]\n"
    "ordalis-cli verify FILE... [OPTIONS]\n"
    "ordalis-cli verify SIGNATURE [--extract OUT] [OPTIONS]\n"
    "  Verifies signatures. Give pairs of a file and its signature, or files alone whose\n"
    "  FILE.sig, FILE.p7s, FILE.p7m or FILE.sgn lies beside them (the first found), or an\n"
    "  attached signature alone. Signatures may be DER, Base64 or PEM. Prints the report for each.\n"
    "  --details        every signer, the signed attributes and the certificate path after the report\n"
    "  --trusted        valid only when every signer's chain leads to a root of the ROOT store\n"
    "                   and is not revoked (a link without a current CRL is reported, but accepted)\n"
    "  --revocation required  with --trusted: a link whose revocation cannot be checked is not\n"
    "                   trusted either; use it where a current CRL of every CA is at hand\n"
    "  --online         ask the OCSP responder each certificate of a signer's path names whether\n"
    "                   it is revoked (CRLs of CA answer for a link no responder answers for);\n"
    "                   a signer whose timestamp dates the signature is judged by what it holds\n"
    "  --ocsp URL       the same, asking the responder at URL about every link\n"
    "  --timeout S      seconds to wait for each responder (default 30)\n"
    "  --extract OUT    write the content an attached signature carries to OUT\n"
    "  --signer-cert F  the signer's certificate, for a signature that does not carry it\n"
    "                   (the stores are searched too)\n"
    "  --json           one JSON object per file: signers, signed attributes, trust, reason\n"
    "  --extract writes nothing unless the signature is valid by every rule given.\n"
    "  A signature is valid only when every one of its signers is.\n"
    "  Exit status: 0 all valid, 1 a signature is invalid (or untrusted with --trusted),\n"
    "  2 an error, or a signature file that is no signature.\n"
    "Examples:\n"
    "  ordalis-cli verify report.pdf report.pdf.sig --details\n"
    "  ordalis-cli verify report.pdf.p7m --extract report.pdf --trusted\n"
    "  ordalis-cli verify *.pdf --json\n";

constexpr std::string_view kEncryptHelp =
    "ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer | --self)... [--json]\n"
    "  Encrypts each FILE into FILE.enc: one envelope that each recipient opens with their own key.\n"
    "  Name any number of recipients, in any mix; a certificate named twice is listed once.\n"
    "  Every recipient needs a GOST R 34.10-2001 or 34.10-2012 key; the content cipher is the one\n"
    "  the first recipient's key goes with (GOST 28147-89).\n"
    "  --cert ID        recipient from MY or AddressBook (serial, thumbprint or subject part)\n"
    "  --cert-file F    recipient from a DER certificate file\n"
    "  --self           you as well (your certificate with a key in the personal store; a terminal\n"
    "                   asks which when there are several), so that you can decrypt it too\n"
    "  Kuznyechik and Magma envelopes are not written: the GOST engine corrupts their content\n"
    "  beyond its first key section. Decrypting such envelopes from other programs works.\n"
    "Examples:\n"
    "  ordalis-cli encrypt report.pdf --cert-file partner.cer\n"
    "  ordalis-cli encrypt *.xlsx --cert 'ООО Ромашка'\n"
    "  ordalis-cli encrypt contract.pdf --cert-file partner.cer --cert 'Петров' --self\n";

constexpr std::string_view kDecryptHelp =
    "ordalis-cli decrypt FILE... [--password-file F] [--json]\n"
    "  Decrypts each FILE.enc with the matching key of the personal store into FILE.\n"
    "Examples:\n"
    "  ordalis-cli decrypt report.pdf.enc\n"
    "  ordalis-cli decrypt *.enc --password-file ~/.key-password\n";

constexpr std::string_view kSignHelpRu =
    "ordalis-cli sign ФАЙЛ... [--cert ID] [--attached] [--base64] [--pack] [--cades] [--password-file Ф] [--json]\n"
    "ordalis-cli sign ФАЙЛ --cosign ПОДПИСЬ [--cert ID] [--cades] [--password-file Ф] [--json]\n"
    "  Подписывает каждый ФАЙЛ и пишет рядом ФАЙЛ.sig (DER) или, с --base64, ФАЙЛ.p7s.\n"
    "  --cert ID        сертификат: серийный номер, отпечаток SHA-1 или часть имени субъекта,\n"
    "                   подходящая только к нему (без него терминал покажет сертификаты с ключом и спросит)\n"
    "  --attached       вложить содержимое файла в подпись (BER, пишется по мере чтения файла)\n"
    "  --base64         писать текст Base64 (.p7s) вместо DER (.sig)\n"
    "  --pack           также упаковать файл и его подпись в ФАЙЛ.sig.7z\n"
    "  --cades          CAdES-BES: подписанные атрибуты со временем подписания и ссылкой\n"
    "                   на сертификат подписавшего (без него подписанных атрибутов нет)\n"
    "  --cosign ПОДПИСЬ добавить подписавшего в имеющуюся ПОДПИСЬ к ФАЙЛУ, если все подписи\n"
    "                   в ней верны для ФАЙЛА; ПОДПИСЬ сохраняет свой вид и кодировку\n"
    "                   (у добавленной подписи всегда есть тип содержимого, хэш и время подписания)\n"
    "  --tsa URL        с --cades: штамп времени службы по адресу URL на подпись (CAdES-T)\n"
    "  --level t|xlt1   с --tsa: xlt1 также вкладывает сертификаты и списки отзыва пути подписавшего\n"
    "                   и службы (из хранилищ), заверенные вторым штампом времени\n"
    "  --timeout С      сколько секунд ждать ответа служб (по умолчанию 30)\n"
    "  --ocsp URL       с xlt1: служба OCSP для каждого звена (иначе та, что указана в сертификате);\n"
    "                   для звена, о котором она не ответит, берется список отзыва хранилища CA\n"
    "  --fetch-crls     с xlt1: звено без действующего списка отзыва в CA берет его из точек\n"
    "                   распространения (он сохраняется в CA, если издатель есть в ROOT или CA)\n"
    "  --password-file Ф  пароль ключа в первой строке файла Ф (иначе спрашивается один раз для ключа)\n"
    "  --json           по одному объекту JSON на файл в стандартный вывод\n"
    "Примеры:\n"
    "  ordalis-cli sign report.pdf --cert 'Иванов'\n"
    "  ordalis-cli sign *.pdf --cert 3A7F01 --base64 --pack\n"
    "  ordalis-cli sign contract.pdf --cert 'Иванов' --cades --attached\n"
    "  ordalis-cli sign contract.pdf --cert 'Петров' --cosign contract.pdf.sig --cades\n"
    "  ordalis-cli sign contract.pdf --cert 'Иванов' --cades --tsa http://tsa.example/tsp --level xlt1\n";

constexpr std::string_view kVerifyHelpRu =
    "ordalis-cli verify ФАЙЛ ПОДПИСЬ [ФАЙЛ ПОДПИСЬ...] [ПАРАМЕТРЫ]\n"
    "ordalis-cli verify ФАЙЛ... [ПАРАМЕТРЫ]\n"
    "ordalis-cli verify ПОДПИСЬ [--extract ВЫХОД] [ПАРАМЕТРЫ]\n"
    "  Проверяет подписи. Укажите пары из файла и его подписи, или только файлы, рядом с которыми\n"
    "  лежит ФАЙЛ.sig, ФАЙЛ.p7s, ФАЙЛ.p7m или ФАЙЛ.sgn (первый найденный), или одну прикрепленную\n"
    "  подпись. Подпись может быть в DER, Base64 или PEM. Для каждой печатает отчет.\n"
    "  --details        после отчета: все подписавшие, подписанные атрибуты и путь сертификации\n"
    "  --trusted        подпись верна, только если цепочка каждого подписавшего ведет к корню\n"
    "                   хранилища ROOT и не отозвана (звено без действующего списка отзыва\n"
    "                   отмечается, но принимается)\n"
    "  --revocation required  вместе с --trusted: звено, отзыв которого нельзя проверить, тоже\n"
    "                   не доверенное; используйте, когда действующие списки отзыва всех ЦС под рукой\n"
    "  --online         спросить службу OCSP, указанную в каждом сертификате пути подписавшего,\n"
    "                   не отозван ли он (за звено без ответа отвечают списки отзыва CA); подписавший,\n"
    "                   время подписи которого подтверждено штампом, проверяется по тому, что в подписи\n"
    "  --ocsp URL       то же, спрашивая о каждом звене службу по адресу URL\n"
    "  --timeout С      сколько секунд ждать каждую службу (по умолчанию 30)\n"
    "  --extract ВЫХОД  записать в ВЫХОД содержимое, вложенное в прикрепленную подпись\n"
    "  --signer-cert Ф  сертификат подписавшего для подписи, которая его не содержит\n"
    "                   (хранилища тоже просматриваются)\n"
    "  --json           по объекту JSON на файл: подписавшие, атрибуты, доверие, причина\n"
    "  --extract ничего не пишет, если подпись не верна по всем заданным правилам.\n"
    "  Подпись верна, только если верны все ее подписавшие.\n"
    "  Код возврата: 0 все подписи верны, 1 подпись неверна (или без доверия при --trusted),\n"
    "  2 ошибка или файл подписи, который не является подписью.\n"
    "Примеры:\n"
    "  ordalis-cli verify report.pdf report.pdf.sig --details\n"
    "  ordalis-cli verify report.pdf.p7m --extract report.pdf --trusted\n"
    "  ordalis-cli verify *.pdf --json\n";

constexpr std::string_view kEncryptHelpRu =
    "ordalis-cli encrypt ФАЙЛ... (--cert ID | --cert-file СЕРТ.cer | --self)... [--json]\n"
    "  Шифрует каждый ФАЙЛ в ФАЙЛ.enc: один конверт, который каждый получатель открывает своим ключом.\n"
    "  Получателей можно указать сколько угодно и в любом сочетании; сертификат, указанный дважды,\n"
    "  входит один раз. У каждого получателя должен быть ключ ГОСТ Р 34.10-2001 или 34.10-2012;\n"
    "  шифр содержимого тот, что соответствует ключу первого получателя (ГОСТ 28147-89).\n"
    "  --cert ID        получатель из MY или AddressBook (серийный номер, отпечаток или часть имени)\n"
    "  --cert-file Ф    получатель из файла сертификата в DER\n"
    "  --self           также вы сами (ваш сертификат с ключом в личном хранилище; если их несколько,\n"
    "                   терминал спросит, какой), чтобы вы тоже могли расшифровать\n"
    "  Конверты с шифрами Кузнечик и Магма не пишутся: модуль GOST портит их содержимое\n"
    "  после первой секции ключа. Такие конверты из других программ расшифровываются.\n"
    "Примеры:\n"
    "  ordalis-cli encrypt report.pdf --cert-file partner.cer\n"
    "  ordalis-cli encrypt *.xlsx --cert 'ООО Ромашка'\n"
    "  ordalis-cli encrypt contract.pdf --cert-file partner.cer --cert 'Петров' --self\n";

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
         {"--cert", "--attached", "--base64", "--pack", "--password-file", "--cades", "--cosign", "--tsa", "--level",
          "--timeout", "--ocsp", "--fetch-crls"},
         {"ordalis-cli sign FILE... [--cert ID] [--attached] [--base64] [--pack] [--cades] [--cosign SIG] "
          "[--tsa URL [--level t|xlt1]] [--password-file F] [--json]",
          "ordalis-cli sign ФАЙЛ... [--cert ID] [--attached] [--base64] [--pack] [--cades] [--cosign ПОДПИСЬ] "
          "[--tsa URL [--level t|xlt1]] [--password-file Ф] [--json]"},
         {kSignHelp, kSignHelpRu},
         {{"signed", "подписано"}, {}, {"failed", "не удалось"}},
         RunSign},
        {"verify",
         {"--details", "--trusted", "--revocation", "--extract", "--signer-cert", "--online", "--ocsp", "--timeout"},
         {"ordalis-cli verify FILE SIGNATURE | FILE... | SIGNATURE [--extract OUT] [--signer-cert CERT] [--details] "
          "[--trusted [--revocation required]] [--online | --ocsp URL] [--json]",
          "ordalis-cli verify ФАЙЛ ПОДПИСЬ | ФАЙЛ... | ПОДПИСЬ [--extract ВЫХОД] [--signer-cert СЕРТ] [--details] "
          "[--trusted [--revocation required]] [--online | --ocsp URL] [--json]"},
         {kVerifyHelp, kVerifyHelpRu},
         {{"valid", "верны"}, {"invalid", "неверны"}, {"failed", "не удалось"}},
         RunVerify},
        {"enhance",
         {"--tsa", "--level", "--timeout", "--ocsp", "--fetch-crls"},
         {"ordalis-cli enhance SIGNATURE... --tsa URL [--level t|xlt1] [--timeout S] [--json]",
          "ordalis-cli enhance ПОДПИСЬ... --tsa URL [--level t|xlt1] [--timeout С] [--json]"},
         {kEnhanceHelp, kEnhanceHelpRu},
         {{"enhanced", "дополнено"}, {}, {"failed", "не удалось"}},
         RunEnhance},
        {"encrypt",
         {"--cert", "--cert-file", "--self"},
         {"ordalis-cli encrypt FILE... (--cert ID | --cert-file CERT.cer | --self)... [--json]",
          "ordalis-cli encrypt ФАЙЛ... (--cert ID | --cert-file СЕРТ.cer | --self)... [--json]"},
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
        {"--cert", OptionValue::Text},       {"--cert-file", OptionValue::File}, {"--password-file", OptionValue::File},
        {"--attached", OptionValue::None},   {"--base64", OptionValue::None},    {"--pack", OptionValue::None},
        {"--json", OptionValue::None},       {"--help", OptionValue::None},      {"--details", OptionValue::None},
        {"--trusted", OptionValue::None},    {"--extract", OptionValue::File},   {"--signer-cert", OptionValue::File},
        {"--cades", OptionValue::None},      {"--cosign", OptionValue::File},    {"--self", OptionValue::None},
        {"--revocation", OptionValue::Text}, {"--tsa", OptionValue::Text},       {"--level", OptionValue::Text},
        {"--timeout", OptionValue::Text},    {"--ocsp", OptionValue::Text},      {"--fetch-crls", OptionValue::None},
        {"--online", OptionValue::None},
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
