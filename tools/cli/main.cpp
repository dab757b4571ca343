#include "common/InterruptCleanup.h"
#include "common/ProcessHardening.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tools/cli/CliRunner.h"
#include "tools/common/Terminal.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    ordalis::DisableCoreDumps();
    std::setlocale(LC_ALL, "");
    ordalis::InstallProcessSignalHandling();
    ordalis::EnsureGostEngine();
    ordalis::tools::Terminal terminal = ordalis::tools::ProcessTerminal();
    const int status = ordalis::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), terminal);
    std::cout.flush();
    return status;
}
