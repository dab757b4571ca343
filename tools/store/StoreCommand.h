#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ordalis::tools {

// Where ordalis-store talks: its output streams and how it asks for a secret
// (null or returning nothing when nobody can be asked).
struct StoreTerminal {
    std::ostream& out;
    std::ostream& err;
    std::function<std::optional<std::string>(const std::string& prompt)> readSecret;
};

// Runs one ordalis-store command line (without the program name).
// Returns the exit status: 0 on success, 2 on bad input or any failure.
int RunStoreCommand(const std::vector<std::string>& arguments, StoreTerminal& terminal);

} // namespace ordalis::tools
