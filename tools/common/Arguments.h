#pragma once

#include "tools/common/UsageError.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordalis::tools {

struct OptionRule {
    std::string name; // "--cert"
    bool takesValue = false;
};

// What a program's command line looks like. An option is a word of more than
// two characters that starts with "--"; a valued option takes the next word
// whatever it is. The conventions below are those each program has always had.
struct ArgumentGrammar {
    std::vector<OptionRule> options;
    std::vector<std::string> helpWords; // ask for help wherever they stand
    bool doubleDashEndsOptions = false; // "--" makes every later word positional
    bool valueAfterEquals = false;      // "--name=value" as well as "--name value"
    bool repeatIsError = false;         // an option given twice is refused
    // The message for an option not in the list, given its name.
    std::function<std::string(const std::string& name)> unknownOption;
};

struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // name → value, "" for a flag
    // Every option word with its value, in the order given, repeats included.
    std::vector<std::pair<std::string, std::string>> sequence;
    bool help = false;

    bool flag(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
};

// Splits the words into positional arguments and options. Throws UsageError.
ParsedArguments ParseArguments(const std::vector<std::string>& words, const ArgumentGrammar& grammar);

} // namespace ordalis::tools
