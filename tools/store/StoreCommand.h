#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ordalis::tools {

// Where ordalis-store talks: its output streams, how it asks for a secret and
// how it asks a question (each null or returning nothing when nobody can be asked).
struct StoreTerminal {
    using Ask = std::function<std::optional<std::string>(const std::string& prompt)>;
    std::ostream& out;
    std::ostream& err;
    Ask readSecret;
    Ask askLine;
};

// Runs one ordalis-store command line (without the program name).
// Returns the exit status: 0 on success, 2 on bad input or any failure.
int RunStoreCommand(const std::vector<std::string>& arguments, StoreTerminal& terminal);

} // namespace ordalis::tools
