#include "common/InterruptCleanup.h"
#include "common/ProcessHardening.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tools/cli/CliRunner.h"
#include "tools/store/TerminalSecret.h"

#include <clocale>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    ordalis::DisableCoreDumps();
    std::setlocale(LC_ALL, "");
    ordalis::InstallProcessSignalHandling();
    ordalis::EnsureGostEngine();
    ordalis::cli::Terminal terminal{std::cin, std::cout, std::cerr, ::isatty(0) && ::isatty(2),
                                    ordalis::tools::ReadSecretFromTerminal};
    const int status = ordalis::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), terminal);
    std::cout.flush();
    return status;
}
