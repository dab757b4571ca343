#include "tools/common/Arguments.h"

#include "tools/common/Language.h"
#include "tools/common/UsageTexts.h"

#include <algorithm>

namespace ordalis::tools {

namespace {

bool IsOptionWord(const std::string& word) { return word.size() > 2 && word.compare(0, 2, "--") == 0; }

const OptionRule* FindRule(const ArgumentGrammar& grammar, const std::string& name)
{
    const auto found = std::find_if(grammar.options.begin(), grammar.options.end(),
                                    [&](const OptionRule& rule) { return rule.name == name; });
    return found == grammar.options.end() ? nullptr : &*found;
}

class Parser {
public:
    Parser(const std::vector<std::string>& words, const ArgumentGrammar& grammar) : m_words(words), m_grammar(grammar)
    {
    }

    ParsedArguments run()
    {
        bool onlyPositional = false;
        for (m_next = 0; m_next < m_words.size();) {
            const std::string& word = m_words[m_next++];
            if (onlyPositional)
                m_parsed.positional.push_back(word);
            else if (m_grammar.doubleDashEndsOptions && word == "--")
                onlyPositional = true;
            else if (std::count(m_grammar.helpWords.begin(), m_grammar.helpWords.end(), word))
                m_parsed.help = true;
            else if (IsOptionWord(word))
                option(word);
            else
                m_parsed.positional.push_back(word);
        }
        return std::move(m_parsed);
    }

private:
    void option(const std::string& word)
    {
        const std::size_t equals = m_grammar.valueAfterEquals ? word.find('=') : std::string::npos;
        const std::string name = word.substr(0, equals);
        const OptionRule* rule = FindRule(m_grammar, name);
        if (!rule || (!rule->takesValue && equals != std::string::npos))
            throw UsageError(m_grammar.unknownOption(name));
        if (m_grammar.repeatIsError && m_parsed.options.count(name))
            throw UsageError(Say(texts::kGivenTwice, {name}));
        const std::string value = !rule->takesValue             ? std::string()
                                  : equals != std::string::npos ? word.substr(equals + 1)
                                                                : valueAfter(name);
        m_parsed.options[name] = value;
        m_parsed.sequence.emplace_back(name, value);
    }

    std::string valueAfter(const std::string& name)
    {
        if (m_next >= m_words.size())
            throw UsageError(Say(texts::kNeedsValue, {name}));
        return m_words[m_next++];
    }

    const std::vector<std::string>& m_words;
    const ArgumentGrammar& m_grammar;
    std::size_t m_next = 0;
    ParsedArguments m_parsed;
};

} // namespace

std::optional<std::string> ParsedArguments::value(const std::string& name) const
{
    const auto found = options.find(name);
    return found == options.end() ? std::nullopt : std::optional<std::string>(found->second);
}

ParsedArguments ParseArguments(const std::vector<std::string>& words, const ArgumentGrammar& grammar)
{
    return Parser(words, grammar).run();
}

} // namespace ordalis::tools
