#include "tools/cli/CliOptions.h"

namespace ordalis::cli {

namespace {

tools::ArgumentGrammar GrammarOf(const Verb& verb)
{
    tools::ArgumentGrammar grammar;
    std::vector<std::string_view> names = OptionsOfEveryVerb();
    names.insert(names.end(), verb.options.begin(), verb.options.end());
    for (const std::string_view name : names)
        if (name != "--help")
            grammar.options.push_back({std::string(name), FindCliOption(name)->value != OptionValue::None});
    grammar.helpWords = {"--help"};
    grammar.doubleDashEndsOptions = true;
    grammar.unknownOption = [&verb](const std::string& name) {
        return "параметр " + name + " не подходит к команде " + std::string(verb.name);
    };
    return grammar;
}

std::string VerbList()
{
    std::string list;
    for (const Verb& verb : Verbs())
        list += (list.empty() ? "" : ", ") + std::string(verb.name);
    return list;
}

} // namespace

CliOptions ParseCliOptions(const std::vector<std::string>& args)
{
    if (args.empty())
        throw UsageError("не указана команда (" + VerbList() + ")");
    CliOptions options;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        options.help = true;
        return options;
    }
    options.verb = FindVerb(args[0]);
    if (!options.verb)
        throw UsageError("неизвестная команда: " + args[0]);
    static_cast<tools::ParsedArguments&>(options) =
        tools::ParseArguments({args.begin() + 1, args.end()}, GrammarOf(*options.verb));
    if (!options.help && options.files().empty())
        throw UsageError("не указан ни один файл");
    return options;
}

std::string HelpText(const std::string& name)
{
    if (const Verb* verb = FindVerb(name))
        return std::string(verb->help);
    std::string text = "ordalis-cli - sign, verify, encrypt and decrypt files with GOST certificates\n\n";
    for (const Verb& verb : Verbs())
        text += "  " + std::string(verb.synopsis) + "\n";
    return text + "\n"
                  "'ordalis-cli VERB --help' describes a verb. Exit status: 0 every file succeeded,\n"
                  "1 a signature is invalid (verify), 2 any other failure.\n";
}

} // namespace ordalis::cli
