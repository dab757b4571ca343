#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ordalis::cli {

// The files verify is given, as (file, signature) pairs in order: a file followed
// by a name ending in ".sig" or ".p7s" pairs with it; any other file pairs with
// FILE.sig or FILE.p7s when one exists, else with an empty signature name.
std::vector<std::pair<std::string, std::string>> VerifyPairs(const std::vector<std::string>& files);

} // namespace ordalis::cli
