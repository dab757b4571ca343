#pragma once

#include <optional>
#include <string>

namespace ordalis::tools {

// Shows prompt on the controlling terminal and reads one line without echo.
// Nothing when there is no terminal or it reached its end.
std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt);

// Shows prompt on the controlling terminal and reads one line as typed, echoed.
// Nothing when there is no terminal or it reached its end.
std::optional<std::string> ReadAnswerFromTerminal(const std::string& prompt);

} // namespace ordalis::tools
