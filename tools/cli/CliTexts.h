#pragma once

// ordalis-cli's own texts in English and Russian (see tools/common/Language.h).

#include "tools/common/Language.h"
#include "tools/common/UsageTexts.h"

namespace ordalis::cli::texts {

using tools::Text;
// The usage errors ordalis-store says too.
using tools::texts::kNoCommand;
using tools::texts::kOptionNotForVerb;
using tools::texts::kUnknownCommand;

inline constexpr Text kSeeHelp{"'ordalis-cli --help' lists the commands.", "'ordalis-cli --help' перечисляет команды."};
inline constexpr Text kNoFile{"no file given", "не указан ни один файл"};
inline constexpr Text kEncryptNeedsRecipient{
    "encrypt needs a recipient: --cert ID, --cert-file CERT.cer or --self",
    "для encrypt нужен получатель: --cert ID, --cert-file СЕРТ.cer или --self"};
inline constexpr Text kNotDerCertificate{"%1 is not a certificate in DER form", "%1 не является сертификатом в DER"};
inline constexpr Text kNotGostRecipient{
    "the certificate %1 has no GOST key: envelopes are written for GOST R 34.10-2001 and 34.10-2012 keys only",
    "у сертификата %1 ключ не ГОСТ: конверты пишутся только для ключей ГОСТ Р 34.10-2001 и 34.10-2012"};
inline constexpr Text kNoSignatureFound{"No signature found for the file %1 (expected %1.sig, .p7s, .p7m or .sgn)",
                                        "Не найдена подпись к файлу %1 (ожидался %1.sig, .p7s, .p7m или .sgn)"};
inline constexpr Text kExtractNeedsOneSignature{"--extract writes the content of one signature; give one signature",
                                                "--extract пишет содержимое одной подписи; укажите одну подпись"};
inline constexpr Text kSignerDoesNotHold{"Signer %1 of %2 (%3) is not valid: %4",
                                         "Подписавший %1 из %2 (%3) не прошел проверку: %4"};
inline constexpr Text kRevocationValue{"--revocation takes 'required' or 'optional'",
                                       "--revocation принимает 'required' или 'optional'"};
inline constexpr Text kRevocationNeedsTrusted{"--revocation applies to --trusted; give --trusted as well",
                                              "--revocation относится к --trusted; укажите и --trusted"};
inline constexpr Text kCosignNeedsOneFile{"--cosign adds a signer to the signature of one file; give one file",
                                          "--cosign добавляет подпись к подписи одного файла; укажите один файл"};
// "--attached does not go with --cosign: ..."
inline constexpr Text kCosignKeepsTheSignaturesForm{
    "%1 does not go with --cosign: the signature keeps its own form and encoding",
    "%1 не сочетается с --cosign: подпись сохраняет свой вид и кодировку"};
inline constexpr Text kCosignOverInvalidSigner{
    "%1 is not a valid signature of %2 (signer %3: %4); no signer was added and the file is unchanged",
    "%1 не является верной подписью файла %2 (подписавший %3: %4); подпись не добавлена, файл не изменен"};
inline constexpr Text kSignerAdded{"Signer added to %1", "Подпись добавлена в %1"};
// Decrypting an envelope whose sender's certificate is nowhere at hand.
inline constexpr Text kSenderNamedByIssuer{"issuer %1, serial number %2", "издатель %1, серийный номер %2"};
inline constexpr Text kSenderNamedByKeyId{"subject key identifier %1", "идентификатор ключа субъекта %1"};
inline constexpr Text kSenderCertificateMissing{
    "The sender's certificate (%1) is missing: import it into AddressBook with "
    "ordalis-store import FILE --store AddressBook",
    "Нет сертификата отправителя (%1): импортируйте его в AddressBook командой "
    "ordalis-store import ФАЙЛ --store AddressBook"};

inline constexpr Text kProgramHelpHead{
    "ordalis-cli - sign, verify, encrypt and decrypt files with GOST certificates\n\n",
    "ordalis-cli — подпись, проверка, шифрование и расшифровка файлов с сертификатами ГОСТ\n\n"};
inline constexpr Text kProgramHelpFoot{
    "\n'ordalis-cli VERB --help' describes a verb. Exit status: 0 every file succeeded,\n"
    "1 a signature is invalid (verify), 2 any other failure.\n",
    "\n'ordalis-cli КОМАНДА --help' описывает команду. Код возврата: 0 все файлы обработаны,\n"
    "1 подпись неверна (verify), 2 любая другая ошибка.\n"};

// Choosing a certificate.
inline constexpr Text kCertificateLine{"%1 (serial number %2, valid to %3)",
                                       "%1 (серийный номер %2, действителен до %3)"};
inline constexpr Text kNoKeyedCertificates{"the store has no certificates with a private key",
                                           "в хранилище нет сертификатов с закрытым ключом"};
inline constexpr Text kCertificateNumber{"Certificate number: ", "Номер сертификата: "};
inline constexpr Text kNoneChosen{"no certificate chosen", "сертификат не выбран"};
inline constexpr Text kNoCertificateOption{"no certificate given (--cert ID)", "не указан сертификат (--cert ID)"};
inline constexpr Text kNoSuchCertificate{"the store has no certificate \"%1\"", "в хранилище нет сертификата \"%1\""};
inline constexpr Text kNoPrivateKey{"the private key of the certificate %1 is not in the store; it cannot sign",
                                    "закрытого ключа сертификата %1 нет в хранилище; подписать им нельзя"};
inline constexpr Text kKeyedCertificatesAre{"; certificates with a key:", "; сертификаты с ключом:"};
inline constexpr Text kSeveralOwnCertificates{
    "--self: the store has several certificates with a key; name yours with --cert ID:",
    "--self: в хранилище несколько сертификатов с ключом; укажите свой через --cert ID:"};
inline constexpr Text kNoSuchRecipient{"neither MY nor AddressBook has a certificate \"%1\"",
                                       "ни в MY, ни в AddressBook нет сертификата \"%1\""};
// %1 a certificate line, %2 the store it is in.
inline constexpr Text kFoundInStore{"%1 in %2", "%1 в %2"};
inline constexpr Text kSeveralMatch{"\"%1\" matches several certificates:",
                                    "\"%1\" подходит к нескольким сертификатам:"};

inline constexpr Text kWorkingOn{"%1: %2 MB, working...", "%1: %2 МБ, обработка..."};
inline constexpr Text kBytesDone{"%1: %2 of %3 MB", "%1: %2 из %3 МБ"};
inline constexpr Text kFileTooBig{"The file \"%1\" is too large: %2 bytes, the largest size is %3 bytes (2047 MiB)",
                                  "Файл \"%1\" слишком велик: %2 байт, наибольший размер %3 байт (2047 МиБ)"};

// Long-term signatures: options and the services they call.
inline constexpr Text kUnknownLevel{"unknown --level \"%1\": give t or xlt1",
                                    "неизвестный --level \"%1\": укажите t или xlt1"};
inline constexpr Text kBadTimeout{"--timeout takes whole seconds from 1 to 3600, not \"%1\"",
                                  "--timeout принимает целое число секунд от 1 до 3600, а не \"%1\""};
inline constexpr Text kNeedsTsa{"%1 goes with --tsa URL", "%1 указывается вместе с --tsa URL"};
inline constexpr Text kTimeoutNeedsOnline{"--timeout goes with --online or --ocsp URL",
                                          "--timeout указывается вместе с --online или --ocsp URL"};
inline constexpr Text kTsaNeedsCades{"--tsa stamps a CAdES signature: add --cades",
                                     "--tsa ставит штамп на подпись CAdES: добавьте --cades"};
inline constexpr Text kEnhanceNeedsTsa{"enhance needs the timestamp authority: --tsa URL",
                                       "для enhance нужна служба штампов времени: --tsa URL"};
inline constexpr Text kSignatureEnhanced{"%1 raised to %2", "%1 дополнена до %2"};
inline constexpr Text kServiceBadAddress{
    "%1 is not an address the program can use%2; nothing was written",
    "%1 не является адресом, которым программа может воспользоваться%2; ничего не записано"};
inline constexpr Text kServiceNoAnswer{"The service at %1 did not answer%2; nothing was written",
                                       "Служба %1 не ответила%2; ничего не записано"};
inline constexpr Text kServiceRefused{"The service at %1 refused the request%2; nothing was written",
                                      "Служба %1 отклонила запрос%2; ничего не записано"};
inline constexpr Text kServiceBadAnswer{"The answer of the service at %1 could not be read%2; nothing was written",
                                        "Ответ службы %1 не удалось прочитать%2; ничего не записано"};
inline constexpr Text kServiceFailedCheck{"The answer of the service at %1 failed its check%2; nothing was written",
                                          "Ответ службы %1 не прошел проверку%2; ничего не записано"};

} // namespace ordalis::cli::texts
