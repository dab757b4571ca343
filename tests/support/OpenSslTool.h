#pragma once

#include <string>

namespace ordalis::test {

// Runs `openssl ARGS` in folder, with the GOST engine named on the command line
// unless withEngine is false; returns its exit status and leaves what it printed in output.
int RunOpenSsl(const std::string& folder, const std::string& args, std::string* output = nullptr,
               bool withEngine = true);

// The same for the commands whose -engine option does not reach certificate
// decoding (`openssl ts`): the engine is loaded by a configuration file instead.
int RunOpenSslEngineConfigured(const std::string& folder, const std::string& args, std::string* output = nullptr);

} // namespace ordalis::test
