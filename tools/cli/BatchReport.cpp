#include "tools/cli/BatchReport.h"

#include "tools/cli/JsonText.h"

#include <algorithm>

namespace ordalis::cli {

std::string JsonLine(const FileResult& result, const TerminalDesktop::FileLog& log)
{
    static const char* const kStatus[] = {"ok", "invalid", "failed"};
    std::string line = "{\"file\":" + JsonString(result.file) + ",\"status\":\"" +
                       kStatus[static_cast<int>(result.outcome)] + "\",\"outputs\":" + JsonArray(result.outputs) +
                       ",\"messages\":" + JsonArray(log.lines);
    // A name that is not UTF-8 reads with U+FFFD in the fields above; these give its bytes back.
    if (!IsUtf8(result.file))
        line += ",\"file_base64\":" + JsonBytes(result.file);
    if (std::any_of(result.outputs.begin(), result.outputs.end(), [](const std::string& o) { return !IsUtf8(o); })) {
        line += ",\"outputs_base64\":[";
        for (std::size_t i = 0; i < result.outputs.size(); ++i)
            line += (i ? "," : "") + JsonBytes(result.outputs[i]);
        line += "]";
    }
    line += log.jsonFields;
    if (result.outcome == Outcome::Failed) {
        line += ",\"error\":" + JsonString(log.failures.empty() ? std::string() : log.failures.back());
        line += ",\"code\":" + std::to_string(log.failureCode);
    }
    return line + "}";
}

void Tally::add(Outcome outcome)
{
    (outcome == Outcome::Succeeded ? succeeded : outcome == Outcome::Invalid ? invalid : failed)++;
}

std::string Tally::summary(const SummaryWords& words) const
{
    // "3 signed, 1 failed"; in Russian the count follows its word ("подписано: 3"),
    // which needs no plural forms.
    const bool russian = tools::MessageLanguage() == tools::Language::Russian;
    const auto part = [russian](int count, const tools::Text& word) {
        return russian ? tools::Say(word) + ": " + std::to_string(count)
                       : std::to_string(count) + " " + tools::Say(word);
    };
    std::string text = part(succeeded, words.done);
    if (!words.invalid.english.empty())
        text += ", " + part(invalid, words.invalid);
    return text + ", " + part(failed, words.failed);
}

} // namespace ordalis::cli
