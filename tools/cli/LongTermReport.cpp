#include "tools/cli/LongTermReport.h"

#include "tools/cli/JsonText.h"

namespace ordalis::cli {

namespace {

const char* KindCode(TimestampKind kind) { return kind == TimestampKind::Signature ? "signature" : "validation-data"; }

std::string RevocationSourceWords(const std::string& source)
{
    if (source == "ocsp-values")
        return "ответ OCSP из подписи";
    if (source == "crl-values")
        return "список отзыва из подписи";
    if (source == "ocsp")
        return "ответ службы OCSP при проверке";
    if (source == "crl")
        return "список отзыва хранилища CA";
    return "нет";
}

} // namespace

void ReportProvenTime(const SignerEvidence& evidence, std::size_t signerCount, std::size_t index,
                      TerminalDesktop& desktop)
{
    const std::optional<TimestampFinding> proof = evidence.provenTime();
    if (!proof)
        return;
    const std::string who = signerCount > 1 ? "Подписавший " + std::to_string(index + 1) + ": " : std::string();
    desktop.reportLine(who + ProvenTimeSentence(*proof));
}

void WriteEvidenceDetails(const SignerEvidence& evidence, TerminalDesktop& desktop)
{
    desktop.detailLine(std::string("   Уровень подписи:  CAdES-") + SignatureLevelName(evidence.level));
    for (const TimestampFinding& stamp : evidence.timestamps) {
        desktop.detailLine(std::string("   ") +
                           (stamp.kind == TimestampKind::Signature ? "Штамп времени" : "Штамп данных проверки") + ": " +
                           stamp.timeText + (stamp.authority.empty() ? "" : ", " + stamp.authority));
        desktop.detailLine("      " + TimestampVerdictSentence(stamp));
    }
}

void WriteTrustTime(const SignerVerdict& verdict, TerminalDesktop& desktop)
{
    if (verdict.provenBy)
        desktop.detailLine("   " + VerdictTimeWords(*verdict.provenBy));
    desktop.detailLine("   Сведения об отзыве: " + RevocationSourceWords(verdict.revocationSource));
}

std::string EvidenceJson(const SignerEvidence& evidence)
{
    std::string json = std::string(",\"level\":\"") + SignatureLevelName(evidence.level) + "\",\"timestamps\":[";
    for (std::size_t i = 0; i < evidence.timestamps.size(); ++i) {
        const TimestampFinding& stamp = evidence.timestamps[i];
        json += (i ? ",{" : "{") + std::string("\"kind\":\"") + KindCode(stamp.kind) +
                "\",\"time\":" + JsonString(stamp.timeText) + ",\"authority\":" + JsonString(stamp.authority) +
                ",\"verdict\":\"" + TimestampVerdictCode(stamp.verdict) + "\"";
        if (!stamp.valid())
            json += ",\"text\":" + JsonString(TimestampVerdictSentence(stamp));
        json += "}";
    }
    return json + "]";
}

std::string TrustTimeJson(const SignerVerdict& verdict)
{
    std::string json = ",\"revocation_source\":\"" + verdict.revocationSource + "\"";
    if (verdict.provenBy)
        json += ",\"at_time\":" + JsonString(verdict.provenBy->timeText);
    return json;
}

} // namespace ordalis::cli
