#include "tools/cli/VerifyFile.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/messages/SignatureExamination.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "cryptomsg/store/CertificateBundle.h"
#include "cryptomsg/store/CertificateTrust.h"
#include "cryptomsg/store/StoreFileFormats.h"
#include "cryptomsg/store/StoreNames.h"
#include "tools/cli/CliTabs.h"
#include "tools/cli/CliTexts.h"
#include "tools/cli/ExamineSignatureFile.h"
#include "tools/cli/JsonText.h"
#include "tools/cli/LongTermReport.h"
#include "tools/cli/SignatureFile.h"

#include <cerrno>

namespace ordalis::cli {

namespace {

X509Ptr Referenced(X509* certificate)
{
    X509_up_ref(certificate);
    return X509Ptr(certificate);
}

std::vector<X509Ptr> SignerCertificateFile(const std::string& path)
{
    SecureBytes bytes;
    if (!ReadSmallFile(path, bytes))
        throw Error(CannotOpenFileText(path, errno));
    std::optional<CertificateBundle> bundle = ReadCertificateBundle(bytes);
    if (!bundle || bundle->certificates.empty())
        throw Error("В файле \"" + path + "\" нет сертификатов");
    return std::move(bundle->certificates);
}

// Where a signer's certificate may be when the signature does not carry it.
std::vector<X509Ptr> CertificatesAtHand(const VerifyChoices& choices)
{
    std::vector<X509Ptr> certificates =
        choices.signerCert ? SignerCertificateFile(*choices.signerCert) : std::vector<X509Ptr>();
    for (X509Ptr& certificate : CertificatesOfEveryStore())
        certificates.push_back(std::move(certificate));
    return certificates;
}

std::vector<X509*> Borrowed(const std::vector<X509Ptr>& certificates)
{
    std::vector<X509*> pointers;
    for (const X509Ptr& certificate : certificates)
        pointers.push_back(certificate.get());
    return pointers;
}

std::string TrustJson(const TrustOutcome& trust, const SignerVerdict& verdict)
{
    std::vector<std::string> subjects;
    for (const X509Ptr& link : trust.path)
        subjects.push_back(FormatName(X509_get_subject_name(link.get()), NameStyle::ShortName));
    std::string json = "{\"verdict\":\"" + std::string(TrustVerdictCode(trust.verdict)) +
                       "\",\"text\":" + JsonString(TrustSentence(trust)) + ",\"path\":" + JsonArray(subjects);
    if (trust.link >= 0)
        json += ",\"link\":" + std::to_string(trust.link);
    if (!trust.revokedOn.empty())
        json += ",\"revoked_on\":" + JsonString(trust.revokedOn);
    return json + TrustTimeJson(verdict) + "}";
}

std::string ReasonJson(const std::string& code, const std::string& text)
{
    return code.empty() ? std::string() : ",\"reason\":" + JsonString(text) + ",\"reason_code\":" + JsonString(code);
}

std::string AttributesJson(const SignedAttributes& a)
{
    std::string json = "{\"content_type\":" + JsonString(a.contentType) +
                       ",\"message_digest_matched\":" + (a.digestMatched ? "true" : "false");
    if (!a.signingTime.empty())
        json += ",\"signing_time\":" + JsonString(a.signingTime);
    if (a.signingCertificateMatched)
        json += std::string(",\"signing_certificate_matched\":") + (*a.signingCertificateMatched ? "true" : "false");
    return json + "}";
}

std::string SignerJson(const SignerReport& signer, const SignerVerdict& verdict)
{
    std::string json = "{\"index\":" + std::to_string(signer.index) + ",\"subject\":" + JsonString(signer.subject) +
                       ",\"issuer\":" + JsonString(signer.issuer) + ",\"serial\":" + JsonString(signer.serialHex) +
                       ",\"signature\":\"" + (signer.valid() ? "valid" : "invalid") + "\",\"verdict\":\"" +
                       (verdict.valid ? "valid" : "invalid") + "\"" +
                       ReasonJson(verdict.reasonCode, verdict.reasonText);
    if (signer.attributes)
        json += ",\"signed_attributes\":" + AttributesJson(*signer.attributes);
    if (verdict.evidence)
        json += EvidenceJson(*verdict.evidence);
    if (verdict.trust)
        json += ",\"trust\":" + TrustJson(*verdict.trust, verdict);
    return json + "}";
}

std::string VerdictJson(const SignatureVerdict& verdict)
{
    std::string json = ",\"verdict\":\"" + std::string(verdict.valid ? "valid" : "invalid") + "\",\"signers\":[";
    for (std::size_t i = 0; i < verdict.signers.size(); ++i)
        json += (i ? "," : "") + SignerJson(verdict.report.signers[i], verdict.signers[i]);
    json += "]";
    // The first signer's trust, as the window's certificate view shows it.
    if (!verdict.signers.empty() && verdict.signers[0].trust)
        json += ",\"trust\":" + TrustJson(*verdict.signers[0].trust, verdict.signers[0]);
    if (verdict.failedSigner)
        json += ",\"failed_signer\":" + std::to_string(*verdict.failedSigner);
    return json + ReasonJson(verdict.reasonCode, verdict.reasonText);
}

void WriteSignerDetails(const SignerReport& signer, const SignerVerdict& verdict, TerminalDesktop& desktop)
{
    desktop.detailLine("Подписавший " + std::to_string(signer.index + 1) + ": " + signer.subject);
    desktop.detailLine("   Издатель:         " + signer.issuer);
    desktop.detailLine("   Серийный номер:   " + signer.serialHex);
    desktop.detailLine("   Подпись:          " +
                       (signer.valid() ? std::string("верна") : SignatureFailureText(signer.failure)));
    if (signer.attributes) {
        desktop.detailLine("   Тип содержимого:  " + signer.attributes->contentType);
        desktop.detailLine(std::string("   Хэш содержимого:  ") +
                           (signer.attributes->digestMatched ? "совпадает" : "не совпадает"));
        if (!signer.attributes->signingTime.empty())
            desktop.detailLine("   Время подписания: " + signer.attributes->signingTime);
        if (const std::optional<bool> matched = signer.attributes->signingCertificateMatched)
            desktop.detailLine(std::string("   Ссылка на сертификат подписавшего: ") +
                               (*matched ? "совпадает" : "не совпадает"));
    }
    if (verdict.evidence)
        WriteEvidenceDetails(*verdict.evidence, desktop);
    if (!verdict.trust)
        return;
    desktop.detailLine("   Доверие:          " + TrustSentence(*verdict.trust));
    WriteTrustTime(verdict, desktop);
    desktop.detailLine("   Путь сертификации:");
    for (auto link = verdict.trust->path.rbegin(); link != verdict.trust->path.rend(); ++link)
        desktop.detailLine("      " + FormatName(X509_get_subject_name(link->get()), NameStyle::ShortName));
}

void WriteDetails(const SignatureVerdict& verdict, TerminalDesktop& desktop)
{
    desktop.detailLine("Подписавших: " + std::to_string(verdict.signers.size()));
    for (std::size_t i = 0; i < verdict.signers.size(); ++i)
        WriteSignerDetails(verdict.report.signers[i], verdict.signers[i], desktop);
}

// The report lines speak of the first signer only; a later signer that fails,
// or a trust that is refused, is said apart so that exit status 1 has a reason.
void SayWhichSignerFailed(const SignatureVerdict& verdict, TerminalDesktop& desktop)
{
    if (!verdict.failedSigner)
        return;
    const std::size_t index = *verdict.failedSigner;
    const SignerReport& signer = verdict.report.signers[index];
    if (index == 0 && !signer.valid())
        return; // "X - Подпись математически не верна" has said it

    const std::string who = signer.subject.empty() ? signer.issuer + " " + signer.serialHex : signer.subject;
    desktop.explanationLine(
        tools::Say(texts::kSignerDoesNotHold,
                   {std::to_string(index + 1), std::to_string(verdict.signers.size()), who, verdict.reasonText}));
}

} // namespace

OperationResult VerifyFile(const std::string& file, const std::string& signature, const VerifyChoices& choices,
                           TerminalDesktop& desktop)
{
    const bool attachedAlone = file == signature;
    const std::vector<X509Ptr> atHand = CertificatesAtHand(choices);
    ExaminedFile examined = ExamineSignatureFile(file, signature, choices.extract, Borrowed(atHand), desktop);
    SignatureReport& report = examined.report;
    const std::vector<unsigned char>& der = examined.der;

    CliVerifyTab tab(file, signature, desktop);
    CertContextPtr signer;
    if (report.firstSignerValid())
        signer.reset(NewCertContext(Referenced(report.signers[0].certificate.get()), nullptr));
    BeginVerificationReport(tab);
    ReportVerification(signer.get(), tab, desktop);
    std::vector<SignerEvidence> evidence = ExamineMessageEvidence(der);
    for (const SignerReport& each : report.signers)
        if (each.valid() && each.index < evidence.size())
            ReportProvenTime(evidence[each.index], report.signers.size(), each.index, desktop);
    if (report.failure == SignatureFailure::NotASignature) {
        desktop.addJsonFields(VerdictJson(JudgeSignature(std::move(report), choices.rules)));
        throw Error("Файл \"" + signature + "\" не является подписью");
    }
    if (attachedAlone && !examined.carriesContent())
        throw Error("Подпись \"" + signature + "\" не содержит подписанного файла; укажите его перед подписью");

    const SignatureVerdict verdict = JudgeSignature(std::move(report), choices.rules, std::move(evidence));
    if (choices.details)
        WriteDetails(verdict, desktop);
    desktop.addJsonFields(VerdictJson(verdict));
    SayWhichSignerFailed(verdict, desktop);

    OperationResult result{verdict.valid, {}};
    // Content is handed out only for a signature that holds by every rule asked for.
    if (choices.extract && examined.carriesContent() && verdict.valid) {
        if (examined.extracted)
            examined.extracted->commit();
        else
            SaveFileAtomically(*choices.extract, *verdict.report.embeddedContent);
        result.outputs.push_back(*choices.extract);
    }
    return result;
}

} // namespace ordalis::cli
