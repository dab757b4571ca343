#include "common/InterruptCleanup.h"
#include "common/ProcessHardening.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tools/store/StoreCommand.h"
#include "tools/store/TerminalSecret.h"

#include <iostream>

int main(int argc, char** argv)
{
    ordalis::DisableCoreDumps();
    ordalis::InstallProcessSignalHandling();
    const std::string problem = ordalis::CryptoSelfTest();
    if (!problem.empty()) {
        std::cerr << "ordalis-store: " << problem << "\n";
        return 2;
    }
    ordalis::tools::StoreTerminal terminal{std::cout, std::cerr, ordalis::tools::ReadSecretFromTerminal,
                                          ordalis::tools::ReadAnswerFromTerminal};
    return ordalis::tools::RunStoreCommand({argv + 1, argv + argc}, terminal);
}
