#pragma once

// ordalis-cli's own texts in English and Russian (see tools/common/Language.h).

#include "tools/common/Language.h"

namespace ordalis::cli::texts {

using tools::Text;

inline constexpr Text kSeeHelp{"'ordalis-cli --help' lists the commands.", "'ordalis-cli --help' перечисляет команды."};
inline constexpr Text kNoCommand{"no command given", "не указана команда"};
inline constexpr Text kUnknownCommand{"unknown command: ", "неизвестная команда: "};
inline constexpr Text kNoFile{"no file given", "не указан ни один файл"};
// "option --x does not go with the command sign"
inline constexpr Text kOptionNotForVerb{"option %1 does not go with the command %2",
                                        "параметр %1 не подходит к команде %2"};
inline constexpr Text kEncryptNeedsOneRecipient{"encrypt needs exactly one of --cert and --cert-file",
                                                "для encrypt нужен ровно один из параметров --cert или --cert-file"};
inline constexpr Text kNoSignatureFound{"No signature found for the file %1 (expected %1.sig, .p7s, .p7m or .sgn)",
                                        "Не найдена подпись к файлу %1 (ожидался %1.sig, .p7s, .p7m или .sgn)"};
inline constexpr Text kExtractNeedsOneSignature{"--extract writes the content of one signature; give one signature",
                                                "--extract пишет содержимое одной подписи; укажите одну подпись"};
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
inline constexpr Text kKeyedCertificatesAre{"; certificates with a key:", "; сертификаты с ключом:"};
inline constexpr Text kSeveralMatch{"\"%1\" matches several certificates:",
                                    "\"%1\" подходит к нескольким сертификатам:"};

inline constexpr Text kWorkingOn{"%1: %2 MB, working...", "%1: %2 МБ, обработка..."};
inline constexpr Text kFileTooBig{"The file \"%1\" is too large: %2 bytes, the largest size is %3 bytes (2047 MiB)",
                                  "Файл \"%1\" слишком велик: %2 байт, наибольший размер %3 байт (2047 МиБ)"};

} // namespace ordalis::cli::texts
