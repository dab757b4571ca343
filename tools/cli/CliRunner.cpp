#include "tools/cli/CliRunner.h"

#include "common/Error.h"
#include "tools/cli/Batch.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTexts.h"
#include "tools/common/PasswordFile.h"

#include <ostream>

namespace ordalis::cli {

namespace {

int Usage(Terminal& terminal, const std::string& message)
{
    terminal.err << "ordalis-cli: " << message << "\n" << tools::Say(texts::kSeeHelp) << "\n";
    return 2;
}

// Reads --password-file, when given, into the batch's desktop. Throws Error.
void UsePasswordFile(const CliOptions& options, Batch& batch)
{
    if (const auto file = options.value("--password-file"))
        batch.desktop().setPasswordFromFile(tools::ReadPasswordFile(*file));
}

} // namespace

int RunCli(const std::vector<std::string>& args, Terminal& terminal)
{
    CliOptions options;
    try {
        options = ParseCliOptions(args);
    } catch (const UsageError& e) {
        return Usage(terminal, e.what());
    }
    if (options.help) {
        terminal.out << HelpText(args.empty() || args[0].rfind("-", 0) == 0 ? "" : args[0]);
        return 0;
    }
    Batch batch(*options.verb, options.flag("--json"), terminal);
    try {
        UsePasswordFile(options, batch);
    } catch (const Error& e) {
        return Usage(terminal, e.what());
    }
    try {
        return options.verb->run(options, batch);
    } catch (const UsageError& e) {
        return Usage(terminal, e.what());
    }
}

} // namespace ordalis::cli
