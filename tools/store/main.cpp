#include "common/InterruptCleanup.h"
#include "common/ProcessHardening.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tools/common/Terminal.h"
#include "tools/store/StoreCommand.h"

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
    ordalis::tools::Terminal terminal = ordalis::tools::ProcessTerminal();
    return ordalis::tools::RunStoreCommand({argv + 1, argv + argc}, terminal);
}
