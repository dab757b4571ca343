#include "tools/cli/VerifyFile.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/FileContent.h"
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

const char* Verdict(const SignerReport& signer) { return signer.valid() ? "valid" : "invalid"; }

SignatureFailure FirstFailure(const SignatureReport& report)
{
    if (report.failure != SignatureFailure::None)
        return report.failure;
    return report.signers.empty() ? SignatureFailure::NoSignerCertificate : report.signers[0].failure;
}

const SignerEvidence* EvidenceOf(const std::vector<SignerEvidence>& evidence, const SignerReport& signer)
{
    return signer.index < evidence.size() ? &evidence[signer.index] : nullptr;
}

std::string SignerJson(const SignerReport& signer, const SignerEvidence* evidence)
{
    std::string json = "{\"index\":" + std::to_string(signer.index) + ",\"subject\":" + JsonString(signer.subject) +
                       ",\"issuer\":" + JsonString(signer.issuer) + ",\"serial\":" + JsonString(signer.serialHex) +
                       ",\"verdict\":\"" + Verdict(signer) + "\"";
    if (!signer.valid())
        json += ",\"reason\":" + JsonString(SignatureFailureText(signer.failure)) + ",\"reason_code\":\"" +
                SignatureFailureCode(signer.failure) + "\"";
    if (signer.attributes) {
        const SignedAttributes& a = *signer.attributes;
        json += ",\"signed_attributes\":{\"content_type\":" + JsonString(a.contentType) +
                ",\"message_digest_matched\":" + (a.digestMatched ? "true" : "false");
        if (!a.signingTime.empty())
            json += ",\"signing_time\":" + JsonString(a.signingTime);
        if (a.signingCertificateMatched)
            json +=
                std::string(",\"signing_certificate_matched\":") + (*a.signingCertificateMatched ? "true" : "false");
        json += "}";
    }
    if (evidence)
        json += EvidenceJson(*evidence);
    return json + "}";
}

std::string PathSubjects(const TrustOutcome& trust, std::vector<std::string>& subjects)
{
    for (const X509Ptr& link : trust.path)
        subjects.push_back(FormatName(X509_get_subject_name(link.get()), NameStyle::ShortName));
    return JsonArray(subjects);
}

std::string TrustJson(const SignerTrust& signerTrust)
{
    const TrustOutcome& trust = signerTrust.outcome;
    std::vector<std::string> subjects;
    std::string json = "{\"verdict\":\"" + std::string(TrustVerdictCode(trust.verdict)) +
                       "\",\"text\":" + JsonString(TrustSentence(trust)) + ",\"path\":" + PathSubjects(trust, subjects);
    if (trust.link >= 0)
        json += ",\"link\":" + std::to_string(trust.link);
    if (!trust.revokedOn.empty())
        json += ",\"revoked_on\":" + JsonString(trust.revokedOn);
    return json + TrustTimeJson(signerTrust) + "}";
}

std::string ReportJson(const SignatureReport& report, const std::optional<SignerTrust>& trust,
                       const std::vector<SignerEvidence>& evidence)
{
    std::string json = ",\"signers\":[";
    for (std::size_t i = 0; i < report.signers.size(); ++i)
        json += (i ? "," : "") + SignerJson(report.signers[i], EvidenceOf(evidence, report.signers[i]));
    json += "]";
    if (trust)
        json += ",\"trust\":" + TrustJson(*trust);
    const SignatureFailure failure = FirstFailure(report);
    if (failure != SignatureFailure::None)
        json += ",\"reason\":" + JsonString(SignatureFailureText(failure)) + ",\"reason_code\":\"" +
                SignatureFailureCode(failure) + "\"";
    return json;
}

void WriteDetails(const SignatureReport& report, const std::optional<SignerTrust>& signerTrust,
                  const std::vector<SignerEvidence>& evidence, TerminalDesktop& desktop)
{
    desktop.detailLine("Подписавших: " + std::to_string(report.signers.size()));
    for (const SignerReport& signer : report.signers) {
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
        if (const SignerEvidence* found = EvidenceOf(evidence, signer))
            WriteEvidenceDetails(*found, desktop);
    }
    if (!signerTrust)
        return;
    const TrustOutcome* trust = &signerTrust->outcome;
    desktop.detailLine("Доверие: " + TrustSentence(*trust));
    WriteTrustTime(*signerTrust, desktop);
    desktop.detailLine("Путь сертификации:");
    for (auto link = trust->path.rbegin(); link != trust->path.rend(); ++link)
        desktop.detailLine("   " + FormatName(X509_get_subject_name(link->get()), NameStyle::ShortName));
}

// Judged at the time the signer's timestamp proves, when it has one.
std::optional<SignerTrust> TrustOfFirstSigner(const SignatureReport& report,
                                              const std::vector<SignerEvidence>& evidence)
{
    if (report.signers.empty() || !report.signers[0].certificate)
        return std::nullopt;
    const SignerEvidence none;
    const SignerEvidence* found = EvidenceOf(evidence, report.signers[0]);
    return JudgeSignerTrust(report.signers[0].certificate.get(), Borrowed(report.carried), found ? *found : none);
}

bool TrustAccepted(const std::optional<SignerTrust>& trust, const SignatureReport& report,
                   const std::vector<SignerEvidence>& evidence)
{
    // A timestamp that does not hold breaks what the signature claims about its time.
    const SignerEvidence* found = report.signers.empty() ? nullptr : EvidenceOf(evidence, report.signers[0]);
    if (found && !EveryTimestampHolds(*found))
        return false;
    // A missing CRL is reported, but does not by itself make the signature invalid.
    return trust && (trust->outcome.verdict == TrustVerdict::Trusted ||
                     trust->outcome.verdict == TrustVerdict::RevocationUnknown);
}

} // namespace

OperationResult VerifyFile(const std::string& file, const std::string& signature, const VerifyChoices& choices,
                           TerminalDesktop& desktop)
{
    const bool attachedAlone = file == signature;
    const std::vector<unsigned char> der = ReadSignatureFile(signature);
    std::optional<FileContent> content;
    if (!attachedAlone)
        content = FileContent::load(file);
    const ByteView contentView = content ? ByteView(content->data(), content->length()) : ByteView();
    const std::vector<X509Ptr> atHand = CertificatesAtHand(choices);
    const SignatureReport report = ExamineSignature(der, content ? &contentView : nullptr, Borrowed(atHand));

    CliVerifyTab tab(file, signature, desktop);
    CertContextPtr signer;
    if (report.firstSignerValid())
        signer.reset(NewCertContext(Referenced(report.signers[0].certificate.get()), nullptr));
    BeginVerificationReport(tab);
    ReportVerification(signer.get(), tab, desktop);
    const std::vector<SignerEvidence> evidence = ExamineMessageEvidence(der);
    for (const SignerReport& each : report.signers)
        if (each.valid() && each.index < evidence.size())
            ReportProvenTime(evidence[each.index], report.signers.size(), each.index, desktop);
    if (report.failure == SignatureFailure::NotASignature) {
        desktop.addJsonFields(ReportJson(report, std::nullopt, evidence));
        throw Error("Файл \"" + signature + "\" не является подписью");
    }
    if (attachedAlone && !report.embeddedContent)
        throw Error("Подпись \"" + signature + "\" не содержит подписанного файла; укажите его перед подписью");

    const std::optional<SignerTrust> trust = TrustOfFirstSigner(report, evidence);
    if (choices.details)
        WriteDetails(report, trust, evidence, desktop);
    desktop.addJsonFields(ReportJson(report, trust, evidence));

    OperationResult result{report.firstSignerValid() && (!choices.trusted || TrustAccepted(trust, report, evidence)),
                           {}};
    if (choices.extract && report.embeddedContent && report.firstSignerValid()) {
        SaveFileAtomically(*choices.extract, *report.embeddedContent);
        result.outputs.push_back(*choices.extract);
    }
    return result;
}

} // namespace ordalis::cli
