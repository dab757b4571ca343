#include "tools/cli/CliRunner.h"

#include "common/Error.h"
#include "common/ErrorBoxText.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/operations/Operations.h"
#include "tools/cli/CertificateChoice.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTabs.h"
#include "tools/cli/InputSize.h"
#include "tools/cli/JsonText.h"
#include "tools/cli/ProgressLine.h"
#include "tools/cli/SignaturePairs.h"
#include "tools/store/TerminalSecret.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <ostream>

namespace ordalis::cli {

namespace {

enum class Outcome { Succeeded, Invalid, Failed };

struct FileResult {
    std::string file;
    Outcome outcome = Outcome::Failed;
    std::vector<std::string> outputs;
};

std::string FullPath(const std::string& path)
{
    std::error_code ec;
    const auto full = path.empty() ? std::filesystem::path() : std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

OperationResult RunOne(const CliOptions& options, const std::string& file, const std::string& signature,
                       TerminalDesktop& desktop)
{
    switch (options.verb) {
    case Verb::Sign: {
        CliSignTab tab(file, options.pack, options.base64, options.attached);
        return SignOperation(tab, desktop);
    }
    case Verb::Verify: {
        if (signature.empty())
            throw Error("Не найдена подпись к файлу " + file + " (ожидался " + file + ".sig или " + file + ".p7s)");
        CliVerifyTab tab(file, signature, desktop);
        return VerifyOperation(tab, desktop);
    }
    case Verb::Encrypt: {
        CliEncryptTab tab(file, options.certFile.value_or(""));
        return EncryptOperation(tab, desktop);
    }
    case Verb::Decrypt: {
        CliDecryptTab tab(file);
        return DecryptOperation(tab, desktop);
    }
    }
    return {};
}

FileResult RunFile(const CliOptions& options, const std::string& file, const std::string& signature,
                   TerminalDesktop& desktop, Terminal& terminal)
{
    FileResult result{file, Outcome::Failed, {}};
    desktop.beginFile();
    SetLastError(0);
    ProgressLine progress(terminal, file, !options.json);
    try {
        // Full paths, as the window's slots hold them, so messages name files alike.
        CheckInputSize(FullPath(file));
        CheckInputSize(FullPath(signature));
        const OperationResult run = RunOne(options, FullPath(file), FullPath(signature), desktop);
        result.outputs = run.outputs;
        if (run.succeeded)
            result.outcome = Outcome::Succeeded;
        else if (options.verb == Verb::Verify && desktop.log().failures.empty())
            result.outcome = Outcome::Invalid;
    } catch (const InOutError& e) {
        SetLastError(static_cast<std::uint32_t>(e.code()));
        desktop.showError(ErrorBoxText(e.what()));
    } catch (const std::bad_alloc&) {
        SetLastError(codes::OutOfMemory);
        desktop.showError(ErrorBoxText(SystemErrorText(codes::OutOfMemory)));
    } catch (const std::exception& e) {
        SetLastError(0);
        desktop.showError(ErrorBoxText(e.what()));
    }
    return result;
}

std::string JsonLine(const FileResult& result, const TerminalDesktop::FileLog& log)
{
    static const char* const kStatus[] = {"ok", "invalid", "failed"};
    std::string line = "{\"file\":" + JsonString(result.file) + ",\"status\":\"" +
                       kStatus[static_cast<int>(result.outcome)] + "\",\"outputs\":" + JsonArray(result.outputs) +
                       ",\"messages\":" + JsonArray(log.lines);
    // A name that is not UTF-8 reads with U+FFFD in the fields above; these give its bytes back.
    if (!IsUtf8(result.file))
        line += ",\"file_base64\":" + JsonBytes(result.file);
    if (std::any_of(result.outputs.begin(), result.outputs.end(), [](const std::string& o) { return !IsUtf8(o); })) {
        line += ",\"outputs_base64\":[";
        for (std::size_t i = 0; i < result.outputs.size(); ++i)
            line += (i ? "," : "") + JsonBytes(result.outputs[i]);
        line += "]";
    }
    if (result.outcome == Outcome::Failed) {
        line += ",\"error\":" + JsonString(log.failures.empty() ? std::string() : log.failures.back());
        line += ",\"code\":" + std::to_string(log.failureCode);
    }
    return line + "}";
}

std::string Summary(Verb verb, int succeeded, int invalid, int failed)
{
    static const char* const kDone[] = {"signed", "valid", "encrypted", "decrypted"};
    std::string text = std::to_string(succeeded) + " " + kDone[static_cast<int>(verb)];
    if (verb == Verb::Verify)
        text += ", " + std::to_string(invalid) + " invalid";
    return text + ", " + std::to_string(failed) + " failed";
}

int Usage(Terminal& terminal, const std::string& message)
{
    terminal.err << "ordalis-cli: " << message << "\n"
                 << "'ordalis-cli --help' lists the commands.\n";
    return 2;
}

} // namespace

int RunCli(const std::vector<std::string>& args, Terminal& terminal)
{
    CliOptions options;
    try {
        options = ParseCliOptions(args);
    } catch (const UsageError& e) {
        return Usage(terminal, e.message);
    }
    if (options.help) {
        terminal.out << HelpText(args.empty() || args[0].rfind("-", 0) == 0 ? "" : args[0]);
        return 0;
    }

    TerminalDesktop desktop(terminal, options.json);
    if (options.passwordFile) {
        try {
            desktop.setPasswordFromFile(tools::ReadPasswordFile(*options.passwordFile));
        } catch (const Error& e) {
            return Usage(terminal, e.what());
        }
    }
    if (options.verb == Verb::Sign || (options.verb == Verb::Encrypt && options.certId)) {
        std::string problem;
        CertContextPtr chosen = ChooseCertificate(options.certId, options.verb == Verb::Sign, terminal, problem);
        if (!chosen) {
            terminal.err << "ordalis-cli: " << problem << "\n";
            return 2;
        }
        desktop.setCertificate(chosen.get());
    }

    std::vector<std::pair<std::string, std::string>> jobs;
    if (options.verb == Verb::Verify)
        jobs = VerifyPairs(options.files);
    else
        for (const auto& file : options.files)
            jobs.emplace_back(file, std::string());

    int succeeded = 0, invalid = 0, failed = 0;
    for (const auto& [file, signature] : jobs) {
        const FileResult result = RunFile(options, file, signature, desktop, terminal);
        (result.outcome == Outcome::Succeeded ? succeeded : result.outcome == Outcome::Invalid ? invalid : failed)++;
        if (options.json)
            terminal.out << JsonLine(result, desktop.log()) << '\n';
    }
    terminal.err << Summary(options.verb, succeeded, invalid, failed) << '\n';
    terminal.out.flush();
    return failed > 0 ? 2 : invalid > 0 ? 1 : 0;
}

} // namespace ordalis::cli
