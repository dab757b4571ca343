#pragma once

// The verbs of ordalis-cli, one row each: option checking, the help texts, the
// summary line and the completion script are all made from this table.

#include "tools/common/Language.h"

#include <string_view>
#include <vector>

namespace ordalis::cli {

struct CliOptions;
class Batch;

// What follows an option on the command line.
enum class OptionValue { None, Text, File };

struct CliOption {
    std::string_view name;
    OptionValue value;
};

// The words of the summary line: "3 signed, 1 failed", or for a verb that can
// find a signature invalid "2 valid, 1 invalid, 0 failed".
struct SummaryWords {
    tools::Text done;
    tools::Text invalid; // empty: no file of this verb can come out invalid
    tools::Text failed;
};

struct Verb {
    std::string_view name;
    std::vector<std::string_view> options; // besides the options every verb takes
    tools::Text synopsis;                  // its line in the program's help
    tools::Text help;                      // what 'ordalis-cli VERB --help' prints
    SummaryWords summary;
    // Runs the verb on the parsed command line; returns the exit status.
    int (*run)(const CliOptions& options, Batch& batch);
};

const std::vector<Verb>& Verbs();
// Null when no verb has that name.
const Verb* FindVerb(std::string_view name);

// Every option of the program, and those every verb takes.
const std::vector<CliOption>& CliOptionList();
const std::vector<std::string_view>& OptionsOfEveryVerb();
// Null when the program has no such option.
const CliOption* FindCliOption(std::string_view name);

} // namespace ordalis::cli
