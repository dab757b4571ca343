#include "tests/support/OpenSslTool.h"

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <sys/wait.h>

namespace ordalis::test {

int RunOpenSsl(const std::string& folder, const std::string& args, std::string* output, bool withEngine)
{
    const std::string log = folder + "/openssl.log";
    // No configuration of the machine is read; the engine is named on the command line.
    // The engine goes right after the command's name: options before it are parsed without its algorithms.
    const auto space = args.find(' ');
    const std::string withOptions =
        withEngine && space != std::string::npos ? args.substr(0, space) + " -engine gost" + args.substr(space) : args;
    const std::string command =
        "cd '" + folder + "' && OPENSSL_CONF=/dev/null openssl " + withOptions + " >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    if (output)
        *output = FileExists(log) ? ReadFile(log) : std::string();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunOpenSslEngineConfigured(const std::string& folder, const std::string& args, std::string* output)
{
    const std::string config = folder + "/gost-engine.cnf";
    WriteFile(config, "openssl_conf = conf\n[conf]\nengines = engines\n[engines]\ngost = gost\n"
                      "[gost]\nengine_id = gost\ndefault_algorithms = ALL\n");
    const std::string log = folder + "/openssl.log";
    const std::string command =
        "cd '" + folder + "' && OPENSSL_CONF='" + config + "' openssl " + args + " >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    if (output)
        *output = FileExists(log) ? ReadFile(log) : std::string();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace ordalis::test
