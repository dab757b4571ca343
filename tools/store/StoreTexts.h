#pragma once

// ordalis-store's own texts in English and Russian (see tools/common/Language.h).
// What the store layer itself reports (imported items, its errors) is not here.

#include "tools/common/Language.h"
#include "tools/common/UsageTexts.h"

namespace ordalis::tools::texts {

// %1 is the folder of the personal store.
inline constexpr Text kStoreHelp{
    "ordalis-store - the certificate stores of Ordalis\n"
    "\n"
    "Usage:\n"
    "  ordalis-store list [--store NAME]\n"
    "  ordalis-store import FILE [--store NAME] [--password-file F] [--yes]\n"
    "  ordalis-store import FOLDER [--container NAME] [--cert FILE] [--password-file F]\n"
    "  ordalis-store export ID FILE [--store NAME]\n"
    "  ordalis-store export ID --container FOLDER [--password-file F]\n"
    "  ordalis-store remove ID [--store NAME] [--yes]\n"
    "  ordalis-store new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=...,O=...\" [--days N]\n"
    "                    [--password-file F]\n"
    "\n"
    "  list     show the certificates of a store\n"
    "  import   add a PKCS#12 bundle (.p12/.pfx), a certificate (PEM or DER) or a PKCS#8 private\n"
    "           key (PEM); a key from a bundle is stored encrypted with the bundle's password, its\n"
    "           intermediate certificates go to CA, its root is only named (import the bundle\n"
    "           --store ROOT to trust it); the other stores take certificates, PKCS#7 bundles (.p7b)\n"
    "           and (CA) revocation lists signed by a certificate of ROOT, CA or the same file;\n"
    "           adding to ROOT must be confirmed on the terminal or given --yes;\n"
    "           a FOLDER is a key container of a vendor CSP (header.key, primary.key, masks.key...)\n"
    "           or a folder holding several: its key and certificate go into MY, the key\n"
    "           protected by the container's PIN; --cert gives the certificate when the\n"
    "           container has none, --container names one of several containers\n"
    "  export   write a certificate to FILE: DER, or PEM when the name ends in .pem; with\n"
    "           --container, write the key and certificate as a new key container FOLDER\n"
    "           protected by a PIN (asked twice, or the first line of --password-file)\n"
    "  remove   delete a certificate and its private key; asks for confirmation on the terminal,\n"
    "           --yes deletes without asking (for scripts)\n"
    "  new      make a self-signed GOST test certificate with a new key (valid 365 days unless\n"
    "           --days says otherwise); with --password-file the key is protected by a password\n"
    "\n"
    "ID is a serial number in hex (as openssl x509 -serial prints it), a SHA-1 thumbprint\n"
    "or a part of the subject name that matches one certificate only.\n"
    "--password-file F: the password is the first line of the file F; without it the password\n"
    "is asked on the terminal without echo.\n"
    "--store NAME: MY (the default: your own certificates with keys), AddressBook (other\n"
    "people's certificates), CA (intermediate certificates and revocation lists), ROOT (trusted roots).\n"
    "\n"
    "Store: %1\n"
    "Exit status: 0 success, 2 failure.\n",

    "ordalis-store — хранилища сертификатов Ордалис\n"
    "\n"
    "Использование:\n"
    "  ordalis-store list [--store ИМЯ]\n"
    "  ordalis-store import ФАЙЛ [--store ИМЯ] [--password-file Ф] [--yes]\n"
    "  ordalis-store import ПАПКА [--container ИМЯ] [--cert ФАЙЛ] [--password-file Ф]\n"
    "  ordalis-store export ID ФАЙЛ [--store ИМЯ]\n"
    "  ordalis-store export ID --container ПАПКА [--password-file Ф]\n"
    "  ordalis-store remove ID [--store ИМЯ] [--yes]\n"
    "  ordalis-store new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…,O=…\" [--days N]\n"
    "                    [--password-file Ф]\n"
    "\n"
    "  list     показать сертификаты хранилища\n"
    "  import   добавить контейнер PKCS#12 (.p12/.pfx), сертификат (PEM или DER) или закрытый ключ\n"
    "           PKCS#8 (PEM); ключ из контейнера сохраняется зашифрованным тем же паролем, его\n"
    "           промежуточные сертификаты — в CA, корневой только называется (чтобы доверять ему,\n"
    "           импортируйте контейнер с --store ROOT); в другие хранилища — сертификаты, наборы\n"
    "           PKCS#7 (.p7b) и (в CA) списки отзыва, подписанные сертификатом из ROOT, CA или того же\n"
    "           файла; добавление в ROOT нужно подтвердить в терминале или указать --yes;\n"
    "           ПАПКА — контейнер ключа криптопровайдера (header.key, primary.key, masks.key…)\n"
    "           или папка с несколькими контейнерами: ключ и сертификат попадают в MY, ключ\n"
    "           защищается PIN-кодом контейнера; --cert указывает сертификат, если его нет\n"
    "           в контейнере, --container выбирает один из нескольких контейнеров\n"
    "  export   записать сертификат в ФАЙЛ: DER, или PEM, если имя оканчивается на .pem; с\n"
    "           --container — записать ключ и сертификат в новый контейнер ключа ПАПКА,\n"
    "           защищенный PIN-кодом (спрашивается дважды или берется из --password-file)\n"
    "  remove   удалить сертификат и его закрытый ключ; спрашивает подтверждение в терминале,\n"
    "           --yes удаляет без вопроса (для сценариев)\n"
    "  new      создать самоподписанный тестовый сертификат ГОСТ с новым ключом (срок по умолчанию\n"
    "           365 дней); с --password-file ключ защищается паролем\n"
    "\n"
    "ID — серийный номер в шестнадцатеричном виде (как его печатает openssl x509 -serial),\n"
    "отпечаток SHA-1 или часть имени субъекта, подходящая только к одному сертификату.\n"
    "--password-file Ф — пароль в первой строке файла Ф; без этого ключа пароль\n"
    "спрашивается в терминале без отображения.\n"
    "--store ИМЯ — MY (по умолчанию: свои сертификаты с ключами), AddressBook (сертификаты\n"
    "других людей), CA (промежуточные сертификаты и списки отзыва), ROOT (доверенные корневые).\n"
    "\n"
    "Хранилище: %1\n"
    "Код возврата: 0 — успешно, 2 — ошибка.\n"};

// Usage errors.
inline constexpr Text kSeeStoreHelp{"Help: ordalis-store --help", "Справка: ordalis-store --help"};
inline constexpr Text kUnknownOption{"unknown option %1", "неизвестный параметр %1"};
inline constexpr Text kExpected{"expected: ordalis-store %1", "ожидается: ordalis-store %1"};
inline constexpr Text kUnknownStore{"--store: expected MY, AddressBook, CA or ROOT, given \"%1\"",
                                    "--store: ожидается MY, AddressBook, CA или ROOT, задано \"%1\""};
inline constexpr Text kBadDays{"--days: expected a number of days from 1 to 36500, given \"%1\"",
                               "--days: ожидается число дней от 1 до 36500, задано \"%1\""};
inline constexpr Text kBadAlgorithm{"--alg: expected gost2001, gost2012_256 or gost2012_512",
                                    "--alg: ожидается gost2001, gost2012_256 или gost2012_512"};
inline constexpr Text kBadSubject{"--subject: expected a name such as \"CN=...,O=...\"",
                                  "--subject: ожидается имя вида \"CN=…,O=…\""};
inline constexpr Text kEmptyPasswordFile{"the password in the file \"%1\" is empty", "пароль в файле \"%1\" пуст"};

// The synopses a usage error repeats.
inline constexpr Text kListSynopsis{"list [--store NAME]", "list [--store ИМЯ]"};
inline constexpr Text kImportSynopsis{"import FILE [--store NAME] [--password-file F] [--yes]",
                                      "import ФАЙЛ [--store ИМЯ] [--password-file Ф] [--yes]"};
inline constexpr Text kImportFolderSynopsis{"import FOLDER [--container NAME] [--cert FILE] [--password-file F]",
                                            "import ПАПКА [--container ИМЯ] [--cert ФАЙЛ] [--password-file Ф]"};
inline constexpr Text kExportSynopsis{"export ID FILE [--store NAME]", "export ID ФАЙЛ [--store ИМЯ]"};
inline constexpr Text kExportContainerSynopsis{"export ID --container FOLDER [--password-file F]",
                                               "export ID --container ПАПКА [--password-file Ф]"};
inline constexpr Text kRemoveSynopsis{"remove ID [--store NAME] [--yes]", "remove ID [--store ИМЯ] [--yes]"};
inline constexpr Text kNewSynopsis{
    "new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=...\" [--days N] [--password-file F]",
    "new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…\" [--days N] [--password-file Ф]"};

// Passwords for an import.
inline constexpr Text kPasswordFor{"Password for \"%1\": ", "Пароль для \"%1\": "};
inline constexpr Text kWrongPasswordAgain{"Wrong password. Password for \"%1\": ",
                                          "Неверный пароль. Пароль для \"%1\": "};
inline constexpr Text kWrongPasswordInFile{"Wrong password in the file \"%1\"", "Неверный пароль в файле \"%1\""};
inline constexpr Text kPasswordNeeded{
    "A password is needed for \"%1\": give --password-file or run the command on a terminal",
    "Нужен пароль для \"%1\": укажите --password-file или запустите команду в терминале"};

// The PIN of a key container.
inline constexpr Text kPinFor{"PIN of the key container \"%1\": ", "PIN-код контейнера \"%1\": "};
inline constexpr Text kWrongPinAgain{"Wrong PIN of the key container. PIN of the key container \"%1\": ",
                                     "Неверный PIN-код контейнера. PIN-код контейнера \"%1\": "};
inline constexpr Text kWrongPinInFile{"Wrong PIN of the key container in the file \"%1\"",
                                      "Неверный PIN-код контейнера в файле \"%1\""};
inline constexpr Text kPinNeeded{
    "A PIN is needed for the key container \"%1\": give --password-file or run the command on a terminal",
    "Нужен PIN-код контейнера \"%1\": укажите --password-file или запустите команду в терминале"};
inline constexpr Text kNewPin{"PIN of the new key container: ", "PIN-код нового контейнера: "};
inline constexpr Text kNewPinAgain{"The same PIN again: ", "Тот же PIN-код еще раз: "};
inline constexpr Text kPinsDiffer{"the two PINs differ", "PIN-коды не совпадают"};
inline constexpr Text kNewPinNeeded{
    "A PIN is needed for the new key container: give --password-file or run the command on a terminal",
    "Нужен PIN-код нового контейнера: укажите --password-file или запустите команду в терминале"};

// What is wrong with a key container.
inline constexpr Text kContainerMissingFile{"The key container has no file %1", "В контейнере ключа нет файла %1"};
inline constexpr Text kContainerDamagedFile{"The file %1 of the key container is damaged",
                                            "Файл %1 контейнера ключа поврежден"};
inline constexpr Text kContainerIntegrity{"The check value of the file %1 of the key container does not match: "
                                          "the file is damaged",
                                          "Не сходится контрольное значение файла %1 контейнера ключа: "
                                          "файл поврежден"};
inline constexpr Text kContainerWrongPin{"Wrong PIN of the key container", "Неверный PIN-код контейнера"};
inline constexpr Text kContainerPinNotGiven{"No PIN given for the key container \"%1\"",
                                            "Не задан PIN-код контейнера \"%1\""};
inline constexpr Text kContainerKeyMismatch{"The private key of the key container does not match the certificate",
                                            "Закрытый ключ контейнера не соответствует сертификату"};
inline constexpr Text kContainerNoCertificate{
    "There is no certificate for the key of the container: give it with --cert or import it into the store first",
    "Для ключа контейнера нет сертификата: укажите его в --cert или сначала импортируйте в хранилище"};
inline constexpr Text kContainerUnsupported{"The key container is not supported: %1",
                                            "Контейнер ключа не поддерживается: %1"};
inline constexpr Text kNotAContainer{"There is no key container in the folder \"%1\"",
                                     "В папке \"%1\" нет контейнеров ключей"};
inline constexpr Text kUnknownContainer{"There is no key container named \"%1\"",
                                        "Нет контейнера ключа с именем \"%1\""};
inline constexpr Text kContainerNotChosen{"The folder holds several key containers: choose one with --container",
                                          "В папке несколько контейнеров ключей: выберите один в --container"};
inline constexpr Text kContainerTargetExists{"The folder \"%1\" exists already", "Папка \"%1\" уже существует"};
inline constexpr Text kContainerOnlyMy{"a key container is imported into MY only",
                                       "контейнер ключа импортируется только в MY"};

// The containers of a folder and what an import of one read.
inline constexpr Text kContainersHead{"The folder holds these key containers:", "В папке контейнеры ключей:"};
inline constexpr Text kContainerNoCertificateShort{"no certificate", "нет сертификата"};
inline constexpr Text kWhichContainer{"Which container to import (1-%1)? ", "Какой контейнер импортировать (1-%1)? "};
inline constexpr Text kContainerRead{"Key container: %1", "Контейнер ключа: %1"};
inline constexpr Text kExchangeKey{"   Key:              exchange key, %1", "   Ключ:             ключ обмена, %1"};
inline constexpr Text kSignatureKey{"   Key:              signature key, %1", "   Ключ:             ключ подписи, %1"};
inline constexpr Text kParameterSet{"   Parameter set:    ", "   Параметры:        "};
inline constexpr Text kSubject{"   Certificate:      ", "   Сертификат:       "};
inline constexpr Text kContainerWritten{"The key container \"%1\" is written to %2",
                                        "Контейнер ключа \"%1\" записан в %2"};

// The listing of a store; the labels of one certificate line up.
inline constexpr Text kIssuer{"   Issuer:           ", "   Издатель:         "};
inline constexpr Text kSerialNumber{"   Serial number:    ", "   Серийный номер:   "};
inline constexpr Text kThumbprint{"   SHA-1 thumbprint: ", "   Отпечаток SHA-1:  "};
inline constexpr Text kValidity{"   Valid:            from %1 to %2", "   Действителен:     с %1 по %2"};
inline constexpr Text kNotYetValid{" (not yet valid)", " (еще не действует)"};
inline constexpr Text kExpired{" (expired)", " (срок истек)"};
inline constexpr Text kKeyAlgorithm{"   Key algorithm:    ", "   Алгоритм ключа:   "};
inline constexpr Text kPrivateKeyHeld{"   Private key:      yes", "   Закрытый ключ:    есть"};
inline constexpr Text kPrivateKeyAbsent{"   Private key:      no", "   Закрытый ключ:    нет"};
inline constexpr Text kCrl{"Revocation list: ", "Список отзыва: "};
inline constexpr Text kCrlIssued{"   Issued:           ", "   Выпущен:          "};
inline constexpr Text kCrlNext{"   Next:             ", "   Следующий:        "};
inline constexpr Text kCrlNoNext{"not given", "не указан"};
inline constexpr Text kWarning{"Warning: ", "Предупреждение: "};
inline constexpr Text kNothingReadable{"The store has no certificates that could be read: %1",
                                       "В хранилище нет сертификатов, которые удалось прочитать: %1"};
inline constexpr Text kStoreEmpty{"The store is empty: %1", "Хранилище пусто: %1"};

// Questions before a root is trusted or a certificate deleted; a yes is
// understood in either language.
inline constexpr Text kRootQuestionHead{"These certificates will be added to the trusted roots (ROOT):\n",
                                        "В доверенные корневые (ROOT) будут добавлены сертификаты:\n"};
inline constexpr Text kRootQuestionFoot{
    "Signatures that lead up to them will be trusted. Add them? (yes/no): ",
    "Подписи, которые к ним восходят, будут считаться доверенными. Добавить? (да/нет): "};
inline constexpr Text kRootNeedsTerminal{"adding to ROOT must be confirmed on a terminal; in scripts give --yes",
                                         "добавление в ROOT нужно подтвердить в терминале; в сценариях укажите --yes"};
inline constexpr Text kRemovalQuestionHead{"The certificate %1 will be deleted\n", "Будет удален сертификат %1\n"};
inline constexpr Text kRemovalWithKey{"   together with its PRIVATE KEY\n", "   вместе с его ЗАКРЫТЫМ КЛЮЧОМ\n"};
inline constexpr Text kRemovalFile{"   file %1\n", "   файл %1\n"};
inline constexpr Text kRemovalQuestionFoot{"Delete it? (yes/no): ", "Удалить? (да/нет): "};
inline constexpr Text kRemovalNeedsTerminal{"deleting must be confirmed on a terminal; in scripts give --yes",
                                            "удаление нужно подтвердить в терминале; в сценариях укажите --yes"};
inline constexpr Text kRemovalCancelled{"deletion cancelled", "удаление отменено"};

// What a command did.
// What an import did, a line each.
inline constexpr Text kAddedCertificate{"Added the certificate: %1", "Добавлен сертификат: %1"};
inline constexpr Text kAddedPrivateKey{"Added the private key of: %1", "Добавлен закрытый ключ: %1"};
inline constexpr Text kAddedCrl{"Added the revocation list of: %1", "Добавлен список отзыва: %1"};
inline constexpr Text kCertificateAlreadyThere{"The certificate is in the store already: %1",
                                               "Сертификат уже в хранилище: %1"};
inline constexpr Text kPrivateKeyAlreadyThere{"The private key is in the store already: %1",
                                              "Закрытый ключ уже в хранилище: %1"};
inline constexpr Text kCrlAlreadyThere{"The revocation list is in the store already: %1",
                                       "Список отзыва уже в хранилище: %1"};
// %1 the certificate, %2 the store it went to.
inline constexpr Text kAddedCertificateTo{"Added the certificate to %2: %1", "Добавлен сертификат в %2: %1"};
inline constexpr Text kCertificateAlreadyIn{"The certificate is in %2 already: %1", "Сертификат уже в %2: %1"};
// %1 the root's subject, %2 the imported file as a word of a shell command.
inline constexpr Text kRootNotStored{
    "Not stored: the root certificate %1; to trust it: ordalis-store import %2 --store ROOT",
    "Не сохранен корневой сертификат %1; чтобы доверять ему: ordalis-store import %2 --store ROOT"};
inline constexpr Text kExported{"The certificate is written to %1", "Сертификат записан в %1"};
inline constexpr Text kRemovedFile{"Deleted the file %1", "Удален файл %1"};
inline constexpr Text kMade{"Made the certificate %1\nSerial number:    %2\nSHA-1 thumbprint: %3\n",
                            "Создан сертификат %1\nСерийный номер:  %2\nОтпечаток SHA-1: %3\n"};

} // namespace ordalis::tools::texts
