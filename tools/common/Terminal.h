#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace ordalis::tools {

// Where a command-line program talks: its streams, whether a person sits at
// them, and how it asks for a secret (without echo) or a plain answer. An ask
// that is null, or returns nothing, means nobody can be asked.
struct Terminal {
    using Ask = std::function<std::optional<std::string>(const std::string& prompt)>;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false;
    Ask readSecret;
    Ask askLine;
};

// The process's own standard streams and controlling terminal.
Terminal ProcessTerminal();

} // namespace ordalis::tools
