#include "tools/store/StoreCommand.h"

#include "common/Error.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "tools/store/TerminalSecret.h"

#include <openssl/crypto.h>

#include <cctype>
#include <map>
#include <ostream>
#include <set>

namespace ordalis::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

// A mistake in the command line itself: the help hint follows its message.
class UsageError : public Error {
public:
    using Error::Error;
};

std::string HelpText()
{
    return "ordalis-store — личное хранилище сертификатов (MY) для Ордалис\n"
           "\n"
           "Использование:\n"
           "  ordalis-store list\n"
           "  ordalis-store import ФАЙЛ [--password-file Ф]\n"
           "  ordalis-store export ID ФАЙЛ\n"
           "  ordalis-store remove ID [--yes]\n"
           "  ordalis-store new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…,O=…\" [--days N]\n"
           "                    [--password-file Ф]\n"
           "\n"
           "  list     показать сертификаты хранилища\n"
           "  import   добавить контейнер PKCS#12 (.p12/.pfx), сертификат (PEM или DER) или закрытый ключ\n"
           "           PKCS#8 (PEM); ключ из контейнера сохраняется зашифрованным тем же паролем\n"
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
           "\n"
           "Хранилище: " + StoreFolderPath(kPersonalStore) + "\n"
           "Код возврата: 0 — успешно, 2 — ошибка.\n";
}

struct CommandLine {
    std::string verb;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool help = false;
};

CommandLine Parse(const std::vector<std::string>& arguments)
{
    static const std::set<std::string> valued = {"--password-file", "--alg", "--subject", "--days"};
    static const std::set<std::string> flags = {"--yes"};
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }
        if (flags.count(argument)) {
            if (line.options.count(argument))
                throw UsageError("параметр " + argument + " задан дважды");
            line.options[argument] = "";
            continue;
        }
        if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            const std::size_t eq = argument.find('=');
            const std::string name = argument.substr(0, eq);
            if (!valued.count(name))
                throw UsageError("неизвестный параметр " + name);
            if (line.options.count(name))
                throw UsageError("параметр " + name + " задан дважды");
            if (eq != std::string::npos)
                line.options[name] = argument.substr(eq + 1);
            else if (i + 1 < arguments.size())
                line.options[name] = arguments[++i];
            else
                throw UsageError("после " + name + " нужно значение");
            continue;
        }
        if (line.verb.empty())
            line.verb = argument;
        else
            line.positional.push_back(argument);
    }
    return line;
}

void Expect(const CommandLine& line, std::size_t positional, const std::set<std::string>& allowed,
            const char* usage)
{
    if (line.positional.size() != positional)
        throw UsageError(std::string("ожидается: ordalis-store ") + usage);
    for (const auto& [name, value] : line.options)
        if (!allowed.count(name))
            throw UsageError("параметр " + name + " не относится к команде " + line.verb);
}

std::optional<std::string> Option(const CommandLine& line, const std::string& name)
{
    const auto found = line.options.find(name);
    return found == line.options.end() ? std::nullopt : std::optional<std::string>(found->second);
}

// A password given in a file is tried once; one typed on the terminal may be typed again.
PasswordSource MakePasswordSource(const CommandLine& line, StoreTerminal& terminal)
{
    if (const auto file = Option(line, "--password-file")) {
        auto password = std::make_shared<std::string>(ReadPasswordFile(*file));
        return [password, file = *file](const std::string&, int attempt) -> std::optional<std::string> {
            if (attempt > 1)
                throw Error("Неверный пароль в файле \"" + file + "\"");
            return *password;
        };
    }
    return [&terminal](const std::string& what, int attempt) -> std::optional<std::string> {
        std::optional<std::string> answer;
        if (terminal.readSecret)
            answer = terminal.readSecret((attempt > 1 ? "Неверный пароль. " : "") + std::string("Пароль для \"") +
                                         what + "\": ");
        if (!answer && attempt == 1)
            throw Error("Нужен пароль для \"" + what + "\": укажите --password-file или запустите команду в терминале");
        return answer;
    };
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

int List(const CommandLine& line, StoreTerminal& terminal)
{
    Expect(line, 0, {}, "list");
    const StoreListing listing = ListStore();
    for (const std::string& problem : listing.problems)
        terminal.err << "Предупреждение: " << problem << "\n";
    if (listing.certificates.empty() && !listing.problems.empty())
        throw Error("В хранилище нет сертификатов, которые удалось прочитать: " + listing.folder);
    if (listing.certificates.empty())
        terminal.out << "Хранилище пусто: " << listing.folder << "\n";
    for (std::size_t i = 0; i < listing.certificates.size(); ++i) {
        if (i > 0)
            terminal.out << "\n";
        PrintCertificate(terminal.out, i + 1, listing.certificates[i]);
    }
    return kExitOk;
}

int Import(const CommandLine& line, StoreTerminal& terminal)
{
    Expect(line, 1, {"--password-file"}, "import ФАЙЛ [--password-file Ф]");
    for (const std::string& report : ImportFile(line.positional[0], MakePasswordSource(line, terminal)))
        terminal.out << report << "\n";
    return kExitOk;
}

int Export(const CommandLine& line, StoreTerminal& terminal)
{
    Expect(line, 2, {}, "export ID ФАЙЛ");
    ExportCertificate(line.positional[0], line.positional[1]);
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
void ConfirmRemoval(const CommandLine& line, StoreTerminal& terminal)
{
    if (Option(line, "--yes"))
        return;
    const RemovalPlan plan = PlanRemoval(line.positional[0]);
    const CertificateDescription& d = plan.certificate;
    std::string question = "Будет удален сертификат " + d.subject + "\n" +
                           "   Серийный номер:   " + d.serialHex + "\n" +
                           "   Отпечаток SHA-1:  " + d.sha1Thumbprint + "\n";
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

int Remove(const CommandLine& line, StoreTerminal& terminal)
{
    Expect(line, 1, {"--yes"}, "remove ID [--yes]");
    ConfirmRemoval(line, terminal);
    for (const std::string& file : RemoveCertificate(line.positional[0]))
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

int New(const CommandLine& line, StoreTerminal& terminal)
{
    Expect(line, 0, {"--alg", "--subject", "--days", "--password-file"},
           "new --alg gost2001|gost2012_256|gost2012_512 --subject \"CN=…\" [--days N] [--password-file Ф]");
    CertificateRequest request;
    const auto algorithm = Option(line, "--alg");
    if (!algorithm || !ParseKeyAlgorithm(*algorithm, request.algorithm))
        throw UsageError("--alg: ожидается gost2001, gost2012_256 или gost2012_512");
    const auto subject = Option(line, "--subject");
    if (!subject || subject->find('=') == std::string::npos)
        throw UsageError("--subject: ожидается имя вида \"CN=…,O=…\"");
    request.subject = *subject;
    if (const auto days = Option(line, "--days"))
        request.validDays = ParseDays(*days);
    std::string password;
    if (const auto file = Option(line, "--password-file")) {
        password = ReadPasswordFile(*file);
        if (password.empty())
            throw UsageError("пароль в файле \"" + *file + "\" пуст");
    }
    const CertificateDescription made = CreateSelfSigned(request, password);
    OPENSSL_cleanse(password.data(), password.capacity());
    terminal.out << "Создан сертификат " << made.subject << "\n"
                 << "Серийный номер:  " << made.serialHex << "\n"
                 << "Отпечаток SHA-1: " << made.sha1Thumbprint << "\n";
    return kExitOk;
}

int Dispatch(const CommandLine& line, StoreTerminal& terminal)
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

int RunStoreCommand(const std::vector<std::string>& arguments, StoreTerminal& terminal)
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
