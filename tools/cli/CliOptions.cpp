#include "tools/cli/CliOptions.h"

#include "tools/cli/CliTexts.h"

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
        return tools::Say(texts::kOptionNotForVerb, {name, verb.name});
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
        throw UsageError(tools::Say(texts::kNoCommand) + " (" + VerbList() + ")");
    CliOptions options;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        options.help = true;
        return options;
    }
    options.verb = FindVerb(args[0]);
    if (!options.verb)
        throw UsageError(tools::Say(texts::kUnknownCommand) + args[0]);
    static_cast<tools::ParsedArguments&>(options) =
        tools::ParseArguments({args.begin() + 1, args.end()}, GrammarOf(*options.verb));
    if (!options.help && options.files().empty())
        throw UsageError(tools::Say(texts::kNoFile));
    return options;
}

std::string HelpText(const std::string& name)
{
    if (const Verb* verb = FindVerb(name))
        return tools::Say(verb->help);
    std::string text = tools::Say(texts::kProgramHelpHead);
    for (const Verb& verb : Verbs())
        text += "  " + tools::Say(verb.synopsis) + "\n";
    return text + tools::Say(texts::kProgramHelpFoot);
}

} // namespace ordalis::cli
