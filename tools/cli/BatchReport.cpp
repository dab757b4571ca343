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
    std::string text = std::to_string(succeeded) + " " + std::string(words.done);
    if (!words.invalid.empty())
        text += ", " + std::to_string(invalid) + " " + std::string(words.invalid);
    return text + ", " + std::to_string(failed) + " " + std::string(words.failed);
}

} // namespace ordalis::cli
