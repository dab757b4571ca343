#pragma once

#include <string>
#include <vector>

namespace ordalis::cli {

// A JSON string literal for UTF-8 text.
std::string JsonString(const std::string& text);
std::string JsonArray(const std::vector<std::string>& texts);

} // namespace ordalis::cli
