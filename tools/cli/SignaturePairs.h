#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ordalis::cli {

// The files verify is given, as (file, signature) pairs in order: a file followed
// by a name ending in ".sig", ".p7s", ".p7m" or ".sgn" pairs with it; any other file
// pairs with FILE.sig, FILE.p7s, FILE.p7m or FILE.sgn (the first that exists); a
// signature given alone pairs with itself (it carries its content); anything else
// pairs with an empty signature name.
std::vector<std::pair<std::string, std::string>> VerifyPairs(const std::vector<std::string>& files);

} // namespace ordalis::cli
