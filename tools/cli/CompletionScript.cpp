#include "tools/cli/CompletionScript.h"

#include "tools/cli/Verbs.h"

namespace ordalis::cli {

namespace {

// The names joined by sep.
template <class Names, class Name>
std::string Joined(const Names& names, const char* sep, Name name)
{
    std::string text;
    for (const auto& item : names)
        text += (text.empty() ? "" : sep) + std::string(name(item));
    return text;
}

std::string OptionsTaking(OptionValue value)
{
    std::vector<std::string_view> names;
    for (const CliOption& option : CliOptionList())
        if (option.value == value)
            names.push_back(option.name);
    return Joined(names, "|", [](std::string_view name) { return name; });
}

std::string VerbCases()
{
    std::string cases;
    for (const Verb& verb : Verbs()) {
        cases += "        " + std::string(verb.name) + ")";
        if (!verb.options.empty())
            cases += " options=\"$options " + Joined(verb.options, " ", [](std::string_view n) { return n; }) + "\"";
        cases += " ;;\n";
    }
    return cases;
}

} // namespace

std::string CompletionScript()
{
    const std::string verbs = Joined(Verbs(), " ", [](const Verb& verb) { return verb.name; });
    const std::string common = Joined(OptionsOfEveryVerb(), " ", [](std::string_view n) { return n; });
    return "# bash completion for ordalis-cli (made from its table of verbs when it is built)\n"
           "_ordalis_cli()\n"
           "{\n"
           "    local cur prev verb\n"
           "    cur=${COMP_WORDS[COMP_CWORD]}\n"
           "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    verb=${COMP_WORDS[1]}\n"
           "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
           "        COMPREPLY=($(compgen -W \"" +
           verbs +
           " --help\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    case $prev in\n"
           "        " +
           OptionsTaking(OptionValue::File) +
           ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
           "        " +
           OptionsTaking(OptionValue::Text) +
           ") return ;;\n"
           "    esac\n"
           "    local options=\"" +
           common +
           "\"\n"
           "    case $verb in\n" +
           VerbCases() +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _ordalis_cli ordalis-cli\n";
}

} // namespace ordalis::cli
