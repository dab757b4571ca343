#include "tools/store/StoreCommand.h"

#include "common/Error.h"
#include "cryptomsg/store/KeyContainerError.h"
#include "cryptomsg/store/KeyContainerImport.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"
#include "tools/common/Arguments.h"
#include "tools/common/PasswordFile.h"
#include "tools/common/ShellWord.h"
#include "tools/store/StoreTexts.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>

namespace ordalis::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

std::string HelpText() { return Say(texts::kStoreHelp, {StoreFolderPath(kPersonalStore)}); }

// A certificate placed in another store than the one imported into says which.
std::string CertificateLine(const ImportedItem& item)
{
    if (!item.store.empty())
        return Say(item.alreadyThere ? texts::kCertificateAlreadyIn : texts::kAddedCertificateTo,
                   {item.label, item.store});
    return Say(item.alreadyThere ? texts::kCertificateAlreadyThere : texts::kAddedCertificate, {item.label});
}

std::string ImportedItemLine(const ImportedItem& item, const std::string& file)
{
    using Kind = ImportedItem::Kind;
    switch (item.kind) {
    case Kind::PrivateKey:
        return Say(item.alreadyThere ? texts::kPrivateKeyAlreadyThere : texts::kAddedPrivateKey, {item.label});
    case Kind::RevocationList: return Say(item.alreadyThere ? texts::kCrlAlreadyThere : texts::kAddedCrl, {item.label});
    case Kind::RootNotStored: return Say(texts::kRootNotStored, {item.label, ShellWord(file)});
    case Kind::Certificate: break;
    }
    return CertificateLine(item);
}

struct CommandLine : ParsedArguments {
    std::string verb;
};

const ArgumentGrammar& StoreGrammar()
{
    static const ArgumentGrammar grammar{
        .options = {{"--password-file", true},
                    {"--cert", true},
                    {"--container", true},
                    {"--alg", true},
                    {"--subject", true},
                    {"--days", true},
                    {"--yes", false},
                    {"--store", true}},
        .helpWords = {"--help", "-h"},
        .valueAfterEquals = true,
        .repeatIsError = true,
        .unknownOption = [](const std::string& name) { return Say(texts::kUnknownOption, {name}); }};
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

void Expect(const CommandLine& line, std::size_t positional, const std::set<std::string>& allowed, const Text& usage)
{
    if (line.positional.size() != positional)
        throw UsageError(Say(texts::kExpected, {Say(usage)}));
    for (const auto& [name, value] : line.options)
        if (!allowed.count(name))
            throw UsageError(Say(texts::kOptionNotForVerb, {name, line.verb}));
}

// How a password source asks and what it says when the password is wrong.
struct PasswordTexts {
    const Text& ask;
    const Text& askAgain;
    const Text& wrongInFile;
    const Text& needed;
};

const PasswordTexts kPasswordTexts{texts::kPasswordFor, texts::kWrongPasswordAgain, texts::kWrongPasswordInFile,
                                   texts::kPasswordNeeded};
const PasswordTexts kPinTexts{texts::kPinFor, texts::kWrongPinAgain, texts::kWrongPinInFile, texts::kPinNeeded};

// A password given in a file is tried once; one typed on the terminal may be typed again.
PasswordSource MakePasswordSource(const CommandLine& line, Terminal& terminal,
                                  const PasswordTexts& words = kPasswordTexts)
{
    if (const auto file = line.value("--password-file")) {
        auto password = std::make_shared<const Secret>(ReadPasswordFile(*file));
        return [password, file = *file, &words](const std::string&, int attempt) -> std::optional<std::string> {
            if (attempt > 1)
                throw Error(Say(words.wrongInFile, {file}));
            return password->text();
        };
    }
    return [&terminal, &words](const std::string& what, int attempt) -> std::optional<std::string> {
        const std::string prompt = Say(attempt > 1 ? words.askAgain : words.ask, {what});
        // Initialised, not assigned: a moved-from short string would keep the password's bytes.
        std::optional<std::string> answer = terminal.readSecret ? terminal.readSecret(prompt) : std::nullopt;
        if (!answer && attempt == 1)
            throw Error(Say(words.needed, {what}));
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
        throw UsageError(Say(texts::kUnknownStore, {*given}));
    return *known;
}

std::string ValidityNote(LONG validity)
{
    return validity < 0 ? Say(texts::kNotYetValid) : validity > 0 ? Say(texts::kExpired) : std::string();
}

void PrintCertificate(std::ostream& out, std::size_t number, const StoreListing::Item& item)
{
    const CertificateDescription& d = item.description;
    out << number << ". " << d.subject << "\n"
        << Say(texts::kIssuer) << d.issuer << "\n"
        << Say(texts::kSerialNumber) << d.serialHex << "\n"
        << Say(texts::kThumbprint) << d.sha1Thumbprint << "\n"
        << Say(texts::kValidity, {d.validFrom, d.validTo}) << ValidityNote(item.timeValidity) << "\n"
        << Say(texts::kKeyAlgorithm) << d.keyAlgorithm << "\n"
        << Say(d.hasPrivateKey ? texts::kPrivateKeyHeld : texts::kPrivateKeyAbsent) << "\n";
}

void PrintCrls(std::ostream& out, const StoreListing& listing)
{
    for (const StoreListing::Crl& crl : listing.crls)
        out << "\n"
            << Say(texts::kCrl) << crl.issuer << "\n"
            << Say(texts::kCrlIssued) << crl.thisUpdate << "\n"
            << Say(texts::kCrlNext) << (crl.nextUpdate.empty() ? Say(texts::kCrlNoNext) : crl.nextUpdate) << "\n";
}

int List(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 0, {"--store"}, texts::kListSynopsis);
    const StoreListing listing = ListStore(StoreName(line));
    for (const std::string& problem : listing.problems)
        terminal.err << Say(texts::kWarning) << problem << "\n";
    if (listing.certificates.empty() && !listing.problems.empty())
        throw Error(Say(texts::kNothingReadable, {listing.folder}));
    if (listing.certificates.empty() && listing.crls.empty())
        terminal.out << Say(texts::kStoreEmpty, {listing.folder}) << "\n";
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
        std::string question = Say(texts::kRootQuestionHead);
        for (const CertificateToAdd& certificate : certificates)
            question +=
                "   " + certificate.subject + "\n" + Say(texts::kThumbprint) + certificate.sha1Thumbprint + "\n";
        question += Say(texts::kRootQuestionFoot);
        const std::optional<std::string> answer = terminal.askLine ? terminal.askLine(question) : std::nullopt;
        if (!answer)
            throw Error(Say(texts::kRootNeedsTerminal));
        return IsYes(*answer);
    };
}

// The store reports what is wrong with a container; the user reads it in their language.
std::string Worded(const KeyContainerError& e)
{
    using Kind = KeyContainerError::Kind;
    const std::string& d = e.detail();
    switch (e.kind()) {
    case Kind::MissingFile: return Say(texts::kContainerMissingFile, {d});
    case Kind::DamagedFile: return Say(texts::kContainerDamagedFile, {d});
    case Kind::IntegrityFailed: return Say(texts::kContainerIntegrity, {d});
    case Kind::WrongPin: return Say(texts::kContainerWrongPin);
    case Kind::PinNotGiven: return Say(texts::kContainerPinNotGiven, {d});
    case Kind::KeyMismatch: return Say(texts::kContainerKeyMismatch);
    case Kind::NoCertificate: return Say(texts::kContainerNoCertificate);
    case Kind::Unsupported: return Say(texts::kContainerUnsupported, {d});
    case Kind::NotAContainer: return Say(texts::kNotAContainer, {d});
    case Kind::UnknownContainer: return Say(texts::kUnknownContainer, {d});
    case Kind::ContainerNotChosen: return Say(texts::kContainerNotChosen);
    case Kind::TargetExists: return Say(texts::kContainerTargetExists, {d});
    }
    return e.what();
}

void PrintContainers(std::ostream& out, const std::vector<KeyContainerSummary>& found)
{
    out << Say(texts::kContainersHead) << "\n";
    for (std::size_t i = 0; i < found.size(); ++i) {
        const KeyContainerSummary& c = found[i];
        out << "  " << i + 1 << ". " << c.name << " (" << std::filesystem::path(c.folder).filename().string() << "): "
            << (c.problem                      ? Worded(*c.problem)
                : c.certificateSubject.empty() ? Say(texts::kContainerNoCertificateShort)
                                               : c.certificateSubject)
            << "\n";
    }
}

// Several containers are listed; the user picks one by number or name on the terminal.
KeyContainerImportOptions ContainerOptions(const CommandLine& line, Terminal& terminal)
{
    KeyContainerImportOptions options;
    options.certificateFile = line.value("--cert").value_or("");
    options.containerName = line.value("--container").value_or("");
    options.choose = [&terminal](const std::vector<KeyContainerSummary>& found) -> std::optional<std::size_t> {
        PrintContainers(terminal.out, found);
        const std::optional<std::string> answer =
            terminal.askLine ? terminal.askLine(Say(texts::kWhichContainer, {std::to_string(found.size())}))
                             : std::nullopt;
        if (!answer)
            return std::nullopt;
        for (std::size_t i = 0; i < found.size(); ++i)
            if (*answer == std::to_string(i + 1) || *answer == found[i].name)
                return i;
        return std::nullopt;
    };
    return options;
}

int ImportContainer(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 1, {"--password-file", "--cert", "--container", "--store"}, texts::kImportFolderSynopsis);
    if (StoreName(line) != kPersonalStore)
        throw UsageError(Say(texts::kContainerOnlyMy));
    KeyContainerImport imported;
    try {
        imported = ImportKeyContainer(line.positional[0], MakePasswordSource(line, terminal, kPinTexts),
                                      ContainerOptions(line, terminal));
    } catch (const KeyContainerError& e) {
        throw Error(Worded(e));
    }
    const CertificateDescription& d = imported.certificate;
    terminal.out << Say(texts::kContainerRead, {imported.containerName}) << "\n"
                 << Say(imported.exchangeKey ? texts::kExchangeKey : texts::kSignatureKey, {imported.keyAlgorithm})
                 << "\n"
                 << Say(texts::kParameterSet) << imported.parameterSet << "\n"
                 << Say(texts::kSubject) << d.subject << "\n"
                 << Say(texts::kSerialNumber) << d.serialHex << "\n"
                 << Say(texts::kValidity, {d.validFrom, d.validTo}) << ValidityNote(imported.timeValidity) << "\n";
    for (const ImportedItem& item : imported.items)
        terminal.out << ImportedItemLine(item, line.positional[0]) << "\n";
    return kExitOk;
}

int Import(const CommandLine& line, Terminal& terminal)
{
    std::error_code error;
    if (line.positional.size() == 1 && std::filesystem::is_directory(line.positional[0], error))
        return ImportContainer(line, terminal);
    Expect(line, 1, {"--password-file", "--store", "--yes"}, texts::kImportSynopsis);
    const std::string store = StoreName(line);
    const ImportApproval approve = store == kRootStore ? RootApproval(line, terminal) : ImportApproval();
    for (const ImportedItem& item : ImportFile(line.positional[0], MakePasswordSource(line, terminal), store, approve))
        terminal.out << ImportedItemLine(item, line.positional[0]) << "\n";
    return kExitOk;
}

// The new container's PIN: the file's first line, or typed twice alike.
std::string NewPin(const CommandLine& line, Terminal& terminal)
{
    if (const auto file = line.value("--password-file"))
        return ReadPasswordFile(*file).text();
    std::optional<std::string> first = terminal.readSecret ? terminal.readSecret(Say(texts::kNewPin)) : std::nullopt;
    if (!first)
        throw Error(Say(texts::kNewPinNeeded));
    std::optional<std::string> second = terminal.readSecret(Say(texts::kNewPinAgain));
    SecretText kept, again;
    kept.take(*first);
    if (!second)
        throw Error(Say(texts::kNewPinNeeded));
    again.take(*second);
    if (kept.text() != again.text())
        throw Error(Say(texts::kPinsDiffer));
    return kept.text();
}

// A protected store key being written out asks for its own password on the terminal.
class TerminalKeyPassword : public PasswordPrompt {
public:
    explicit TerminalKeyPassword(Terminal& terminal) : m_terminal(terminal) {}
    std::optional<std::string> askPassword(const std::string& what, int attempt) override
    {
        if (!m_terminal.readSecret)
            return std::nullopt;
        return m_terminal.readSecret(Say(attempt > 1 ? texts::kWrongPasswordAgain : texts::kPasswordFor, {what}));
    }

private:
    Terminal& m_terminal;
};

int ExportContainer(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 1, {"--container", "--password-file"}, texts::kExportContainerSynopsis);
    const std::string folder = *line.value("--container");
    TerminalKeyPassword prompt(terminal);
    const ScopedPasswordPrompt scoped(prompt);
    std::string pin = NewPin(line, terminal);
    SecretText kept;
    kept.take(pin);
    std::string name;
    try {
        name = ExportKeyContainer(line.positional[0], folder, kept.text());
    } catch (const KeyContainerError& e) {
        throw Error(Worded(e));
    }
    terminal.out << Say(texts::kContainerWritten, {name, folder}) << "\n";
    return kExitOk;
}

int Export(const CommandLine& line, Terminal& terminal)
{
    if (line.value("--container"))
        return ExportContainer(line, terminal);
    Expect(line, 2, {"--store"}, texts::kExportSynopsis);
    ExportCertificate(line.positional[0], line.positional[1], StoreName(line));
    terminal.out << Say(texts::kExported, {line.positional[1]}) << "\n";
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
    std::string question = Say(texts::kRemovalQuestionHead, {d.subject}) + Say(texts::kSerialNumber) + d.serialHex +
                           "\n" + Say(texts::kThumbprint) + d.sha1Thumbprint + "\n";
    if (d.hasPrivateKey)
        question += Say(texts::kRemovalWithKey);
    for (const std::string& file : plan.files)
        question += Say(texts::kRemovalFile, {file});
    question += Say(texts::kRemovalQuestionFoot);
    const std::optional<std::string> answer = terminal.askLine ? terminal.askLine(question) : std::nullopt;
    if (!answer)
        throw Error(Say(texts::kRemovalNeedsTerminal));
    if (!IsYes(*answer))
        throw Error(Say(texts::kRemovalCancelled));
}

int Remove(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 1, {"--yes", "--store"}, texts::kRemoveSynopsis);
    ConfirmRemoval(line, terminal);
    for (const std::string& file : RemoveCertificate(line.positional[0], StoreName(line)))
        terminal.out << Say(texts::kRemovedFile, {file}) << "\n";
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
        throw UsageError(Say(texts::kBadDays, {text}));
    return days;
}

int New(const CommandLine& line, Terminal& terminal)
{
    Expect(line, 0, {"--alg", "--subject", "--days", "--password-file"}, texts::kNewSynopsis);
    CertificateRequest request;
    const auto algorithm = line.value("--alg");
    if (!algorithm || !ParseKeyAlgorithm(*algorithm, request.algorithm))
        throw UsageError(Say(texts::kBadAlgorithm));
    const auto subject = line.value("--subject");
    if (!subject || subject->find('=') == std::string::npos)
        throw UsageError(Say(texts::kBadSubject));
    request.subject = *subject;
    if (const auto days = line.value("--days"))
        request.validDays = ParseDays(*days);
    const auto file = line.value("--password-file");
    const Secret password = file ? ReadPasswordFile(*file) : Secret();
    if (file && password.text().empty())
        throw UsageError(Say(texts::kEmptyPasswordFile, {*file}));
    const CertificateDescription made = CreateSelfSigned(request, password.text());
    terminal.out << Say(texts::kMade, {made.subject, made.serialHex, made.sha1Thumbprint});
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
    throw UsageError(line.verb.empty() ? Say(texts::kNoCommand) : Say(texts::kUnknownCommand) + line.verb);
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
        terminal.err << "ordalis-store: " << e.what() << "\n" << Say(texts::kSeeStoreHelp) << "\n";
    } catch (const std::exception& e) {
        terminal.err << "ordalis-store: " << e.what() << "\n";
    }
    return kExitFailure;
}

} // namespace ordalis::tools
