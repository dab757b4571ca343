#pragma once

#include <string>

namespace ordalis::cli {

// The bash completion script of ordalis-cli, made from the table of verbs:
// the verbs, each verb's options, and file names after an option that takes one.
std::string CompletionScript();

} // namespace ordalis::cli
