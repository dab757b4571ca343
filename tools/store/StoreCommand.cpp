#include "tools/store/StoreCommand.h"

#include "common/Error.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"
#include "tools/common/Arguments.h"
#include "tools/common/PasswordFile.h"

#include <cctype>
#include <memory>
#include <ostream>
#include <set>

namespace ordalis::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

std::string HelpText()
{
    return "ordalis-store — хранилища сертификатов Ордалис\n"
           "\n"
           "Использование:\n"
           "  ordalis-store list [--store ИМЯ]\n"
           "  ordalis-store import ФАЙЛ [--store ИМЯ] [--password-file Ф] [--yes]\n"
           "  ordalis-store export ID ФАЙЛ [--store ИМЯ]\n"
           "  ordalis-store remove ID [--store ИМЯ] [--yes]\n"
           "  ordalis-store new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…,O=…\" [--days N]\n"
           "                    [--password-file Ф]\n"
           "\n"
           "  list     показать сертификаты хранилища\n"
           "  import   добавить контейнер PKCS#12 (.p12/.pfx), сертификат (PEM или DER) или закрытый ключ\n"
           "           PKCS#8 (PEM); ключ из контейнера сохраняется зашифрованным тем же паролем;\n"
           "           в другие хранилища — сертификаты, наборы PKCS#7 (.p7b) и (в CA) списки отзыва;\n"
           "           добавление в ROOT нужно подтвердить в терминале или указать --yes\n"
           "  export   записать сертификат в ФАЙЛ: DER, или PEM, если имя оканчивается на .pem\n"
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
           "Хранилище: " +
           StoreFolderPath(kPersonalStore) +
           "\n"
           "Код возврата: 0 — успешно, 2 — ошибка.\n";
}

struct CommandLine : ParsedArguments {
    std::string verb;
};

const ArgumentGrammar& StoreGrammar()
{
    static const ArgumentGrammar grammar{
        .options = {{"--password-file", true},
                    {"--alg", true},
                    {"--subject", true},
                    {"--days", true},
                    {"--yes", false},
                    {"--store", true}},
        .helpWords = {"--help", "-h"},
        .valueAfterEquals = true,
        .repeatIsError = true,
        .unknownOption = [](const std::string& name) { return "неизвестный параметр " + name; }};
    return grammar;
}

// The first positional word is the command, wherever it stands.
CommandLine Parse(const std::vector<std::string>& arguments)
{
    CommandLine line{ParseArguments(arguments, StoreGrammar()), {}};
    if (!line.positional.empty()) {
        line.verb = line.positional.front();
        line.positional.erase(line.positional.begin());
    }
    return line;
}

void Expect(const CommandLine& line, std::size_t positional, const std::set<std::string>& allowed, const char* usage)
{
    if (line.positional.size() != positional)
        throw UsageError(std::string("ожидается: ordalis-store ") + usage);
    for (const auto& [name, value] : line.options)
        if (!allowed.count(name))
            throw UsageError("параметр " + name + " не относится к команде " + line.verb);
}

// A password given in a file is tried once; one typed on the terminal may be typed again.
PasswordSource MakePasswordSource(const CommandLine& line, Terminal& terminal)
{
    if (const auto file = line.value("--password-file")) {
        auto password = std::make_shared<const Secret>(ReadPasswordFile(*file));
        return [password, file = *file](const std::string&, int attempt) -> std::optional<std::string> {
            if (attempt > 1)
                throw Error("Неверный пароль в файле \"" + file + "\"");
            return password->text();
        };
    }
    return [&terminal](const std::string& what, int attempt) -> std::optional<std::string> {
        const std::string prompt =
            (attempt > 1 ? "Неверный пароль. " : "") + std::string("Пароль для \"") + what + "\": ";
        // Initialised, not assigned: a moved-from short string would keep the password's bytes.
        std::optional<std::string> answer = terminal.readSecret ? terminal.readSecret(prompt) : std::nullopt;
        if (!answer && attempt == 1)
            throw Error("Нужен пароль для \"" + what + "\": укажите --password-file или запустите команду в терминале");
        return answer;
    };
}

std::string StoreName(const CommandLine& line)
{
    const auto given = line.value("--store");
    if (!given)
        return kPersonalStore;
    const std::optional<std::string> known = KnownStoreName(*given);
    if (!known)
        throw UsageError("--store: ожидается MY, AddressBook, CA или ROOT, задано \"" + *given + "\"");
    return *known;
}

const char* ValidityNote(LONG validity)
{
    return validity < 0 ? " (еще не действует)" : validity > 0 ? " (срок истек)" : "";
}

void PrintCertificate(std::ostream& out, std::size_t number, const StoreListing::Item& item)
{
    const CertificateDescription& d = item.description;
    out << number << ". " << d.subject << "\n"
        << "   Издатель:         " << d.issuer << "\n"
        << "   Серийный номер:   " << d.serialHex << "\n"
        << "   Отпечаток SHA-1:  " << d.sha1Thumbprint << "\n"
        << "   Действителен:     с " << d.validFrom << " по " << d.validTo << ValidityNote(item.timeValidity) << "\n"
        << "   Алгоритм ключа:   " << d.keyAlgorithm << "\n"
        << "   Закрытый ключ:    " << (d.hasPrivateKey ? "есть" : "нет") << "\n";
}

void PrintCrls(std::ostream& out, const StoreListing& listing)
{
    for (const StoreListing::Crl& crl : listing.crls)
        out << "\nСписок отзыва: " << crl.issuer << "\n"
            << "   Выпущен:          " << crl.thisUpdate << "\n"
            << "   Следующий:        " << (crl.nextUpdate.empty() ? "не указан" : crl.nextUpdate) << "\n";
}

int List(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 0, {"--store"}, "list [--store ИМЯ]");
    const StoreListing listing = ListStore(StoreName(line));
    for (const std::string& problem : listing.problems)
        terminal.err << "Предупреждение: " << problem << "\n";
    if (listing.certificates.empty() && !listing.problems.empty())
        throw Error("В хранилище нет сертификатов, которые удалось прочитать: " + listing.folder);
    if (listing.certificates.empty() && listing.crls.empty())
        terminal.out << "Хранилище пусто: " << listing.folder << "\n";
    for (std::size_t i = 0; i < listing.certificates.size(); ++i) {
        if (i > 0)
            terminal.out << "\n";
        PrintCertificate(terminal.out, i + 1, listing.certificates[i]);
    }
    PrintCrls(terminal.out, listing);
    return kExitOk;
}

bool IsYes(std::string answer);

// A root put into ROOT makes every certificate it issued trusted: the user sees
// exactly which one and says yes, as for a deletion.
ImportApproval RootApproval(const CommandLine& line, Terminal& terminal)
{
    return [&line, &terminal](const std::vector<CertificateToAdd>& certificates) {
        if (line.flag("--yes"))
            return true;
        std::string question = "В доверенные корневые (ROOT) будут добавлены сертификаты:\n";
        for (const CertificateToAdd& certificate : certificates)
            question += "   " + certificate.subject + "\n   Отпечаток SHA-1:  " + certificate.sha1Thumbprint + "\n";
        question += "Подписи, которые к ним восходят, будут считаться доверенными. Добавить? (да/нет): ";
        const std::optional<std::string> answer = terminal.askLine ? terminal.askLine(question) : std::nullopt;
        if (!answer)
            throw Error("добавление в ROOT нужно подтвердить в терминале; в сценариях укажите --yes");
        return IsYes(*answer);
    };
}

int Import(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 1, {"--password-file", "--store", "--yes"}, "import ФАЙЛ [--store ИМЯ] [--password-file Ф] [--yes]");
    const std::string store = StoreName(line);
    const ImportApproval approve = store == kRootStore ? RootApproval(line, terminal) : ImportApproval();
    for (const std::string& report : ImportFile(line.positional[0], MakePasswordSource(line, terminal), store, approve))
        terminal.out << report << "\n";
    return kExitOk;
}

int Export(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 2, {"--store"}, "export ID ФАЙЛ [--store ИМЯ]");
    ExportCertificate(line.positional[0], line.positional[1], StoreName(line));
    terminal.out << "Сертификат записан в " << line.positional[1] << "\n";
    return kExitOk;
}

bool IsYes(std::string answer)
{
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes" || answer == "д" || answer == "да" || answer == "Д" || answer == "ДА" ||
           answer == "Да";
}

// A key once deleted cannot be had again: the user sees what goes and says yes first.
void ConfirmRemoval(const CommandLine& line, Terminal& terminal)
{
    if (line.value("--yes"))
        return;
    const RemovalPlan plan = PlanRemoval(line.positional[0], StoreName(line));
    const CertificateDescription& d = plan.certificate;
    std::string question = "Будет удален сертификат " + d.subject + "\n" + "   Серийный номер:   " + d.serialHex +
                           "\n" + "   Отпечаток SHA-1:  " + d.sha1Thumbprint + "\n";
    if (d.hasPrivateKey)
        question += "   вместе с его ЗАКРЫТЫМ КЛЮЧОМ\n";
    for (const std::string& file : plan.files)
        question += "   файл " + file + "\n";
    question += "Удалить? (да/нет): ";
    const std::optional<std::string> answer = terminal.askLine ? terminal.askLine(question) : std::nullopt;
    if (!answer)
        throw Error("удаление нужно подтвердить в терминале; в сценариях укажите --yes");
    if (!IsYes(*answer))
        throw Error("удаление отменено");
}

int Remove(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 1, {"--yes", "--store"}, "remove ID [--store ИМЯ] [--yes]");
    ConfirmRemoval(line, terminal);
    for (const std::string& file : RemoveCertificate(line.positional[0], StoreName(line)))
        terminal.out << "Удален файл " << file << "\n";
    return kExitOk;
}

long ParseDays(const std::string& text)
{
    std::size_t used = 0;
    long days = 0;
    try {
        days = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || days < 1 || days > 36500)
        throw UsageError("--days: ожидается число дней от 1 до 36500, задано \"" + text + "\"");
    return days;
}

int New(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 0, {"--alg", "--subject", "--days", "--password-file"},
           "new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…\" [--days N] [--password-file Ф]");
    CertificateRequest request;
    const auto algorithm = line.value("--alg");
    if (!algorithm || !ParseKeyAlgorithm(*algorithm, request.algorithm))
        throw UsageError("--alg: ожидается gost2001, gost2012_256 или gost2012_512");
    const auto subject = line.value("--subject");
    if (!subject || subject->find('=') == std::string::npos)
        throw UsageError("--subject: ожидается имя вида \"CN=…,O=…\"");
    request.subject = *subject;
    if (const auto days = line.value("--days"))
        request.validDays = ParseDays(*days);
    const auto file = line.value("--password-file");
    const Secret password = file ? ReadPasswordFile(*file) : Secret();
    if (file && password.text().empty())
        throw UsageError("пароль в файле \"" + *file + "\" пуст");
    const CertificateDescription made = CreateSelfSigned(request, password.text());
    terminal.out << "Создан сертификат " << made.subject << "\n"
                 << "Серийный номер:  " << made.serialHex << "\n"
                 << "Отпечаток SHA-1: " << made.sha1Thumbprint << "\n";
    return kExitOk;
}

int Dispatch(const CommandLine& line, Terminal& terminal)
{
    if (line.verb == "list")
        return List(line, terminal);
    if (line.verb == "import")
        return Import(line, terminal);
    if (line.verb == "export")
        return Export(line, terminal);
    if (line.verb == "remove")
        return Remove(line, terminal);
    if (line.verb == "new")
        return New(line, terminal);
    throw UsageError(line.verb.empty() ? "не указана команда" : "неизвестная команда " + line.verb);
}

} // namespace

int RunStoreCommand(const std::vector<std::string>& arguments, Terminal& terminal)
{
    try {
        const CommandLine line = Parse(arguments);
        if (line.help) {
            terminal.out << HelpText();
            return kExitOk;
        }
        return Dispatch(line, terminal);
    } catch (const UsageError& e) {
        terminal.err << "ordalis-store: " << e.what() << "\nСправка: ordalis-store --help\n";
    } catch (const std::exception& e) {
        terminal.err << "ordalis-store: " << e.what() << "\n";
    }
    return kExitFailure;
}

} // namespace ordalis::tools
