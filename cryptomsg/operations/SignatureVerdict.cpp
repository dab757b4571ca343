#include "cryptomsg/operations/SignatureVerdict.h"

#include "cryptomsg/messages/TrustAtTime.h"

#include <ctime>

namespace ordalis {

namespace {

std::vector<X509*> Borrowed(const std::vector<X509Ptr>& certificates)
{
    std::vector<X509*> pointers;
    for (const X509Ptr& certificate : certificates)
        pointers.push_back(certificate.get());
    return pointers;
}

// The trust now with the answers of OCSP responders; nothing when none answered.
std::optional<TrustAtTime> JudgeTrustOnline(X509* certificate, const std::vector<X509*>& carried,
                                            const OnlineRevocation& online)
{
    const std::vector<OcspBasicPtr> answers = AskOcspAlongPath(certificate, carried, online);
    if (answers.empty())
        return std::nullopt;
    std::vector<OCSP_BASICRESP*> borrowed;
    for (const OcspBasicPtr& answer : answers)
        borrowed.push_back(answer.get());
    TrustAtTime judged = CheckSigningTrustAt(certificate, carried, std::time(nullptr), {{}, borrowed});
    if (judged.revocationSource == "ocsp-values")
        judged.revocationSource = "ocsp";
    return judged;
}

void JudgeTrust(SignerVerdict& verdict, X509* certificate, const std::vector<X509*>& carried, const VerdictRules& rules)
{
    const bool judgedNow = !verdict.evidence || !verdict.evidence->provenTime();
    if (rules.online && judgedNow) {
        if (std::optional<TrustAtTime> judged = JudgeTrustOnline(certificate, carried, *rules.online)) {
            verdict.trust = std::move(judged->outcome);
            verdict.revocationSource = judged->revocationSource;
            return;
        }
    }
    if (!verdict.evidence) {
        verdict.trust = CheckSigningTrust(certificate, carried);
        verdict.revocationSource = verdict.trust->verdict == TrustVerdict::RevocationUnknown ? "none" : "crl";
        return;
    }
    SignerTrust judged = JudgeSignerTrust(certificate, carried, *verdict.evidence);
    verdict.trust = std::move(judged.outcome);
    verdict.provenBy = std::move(judged.provenBy);
    verdict.revocationSource = judged.revocationSource;
}

// The first of the signer's timestamps that does not hold.
const TimestampFinding* FailedTimestamp(const SignerEvidence* evidence)
{
    if (!evidence)
        return nullptr;
    for (const TimestampFinding& stamp : evidence->timestamps)
        if (!stamp.valid())
            return &stamp;
    return nullptr;
}

SignerVerdict JudgeSigner(const SignerReport& signer, const std::vector<X509*>& carried, const VerdictRules& rules,
                          const SignerEvidence* evidence)
{
    SignerVerdict verdict;
    verdict.evidence = evidence;
    if (signer.certificate)
        JudgeTrust(verdict, signer.certificate.get(), carried, rules);
    if (!signer.valid()) {
        verdict.reasonCode = SignatureFailureCode(signer.failure);
        verdict.reasonText = SignatureFailureText(signer.failure);
        return verdict;
    }
    if (rules.trusted && !(verdict.trust && TrustAccepted(*verdict.trust, rules.revocation))) {
        verdict.reasonCode = verdict.trust ? TrustVerdictCode(verdict.trust->verdict) : "no-trusted-root";
        verdict.reasonText = verdict.trust ? TrustSentence(*verdict.trust) : std::string();
        return verdict;
    }
    // A timestamp that does not hold breaks what the signature claims about its time.
    if (const TimestampFinding* failed = rules.trusted ? FailedTimestamp(evidence) : nullptr) {
        verdict.reasonCode = "timestamp-invalid";
        verdict.reasonText = TimestampVerdictSentence(*failed);
        return verdict;
    }
    verdict.valid = true;
    return verdict;
}

void SetWholeReason(SignatureVerdict& verdict, SignatureFailure failure)
{
    verdict.reasonCode = SignatureFailureCode(failure);
    verdict.reasonText = SignatureFailureText(failure);
}

} // namespace

bool TrustAccepted(const TrustOutcome& trust, RevocationPolicy revocation)
{
    return trust.verdict == TrustVerdict::Trusted ||
           (trust.verdict == TrustVerdict::RevocationUnknown && revocation == RevocationPolicy::AcceptUnknown);
}

SignatureVerdict JudgeSignature(SignatureReport report, const VerdictRules& rules, std::vector<SignerEvidence> evidence)
{
    SignatureVerdict verdict;
    verdict.report = std::move(report);
    verdict.evidence = std::move(evidence);
    if (verdict.report.failure != SignatureFailure::None) {
        SetWholeReason(verdict, verdict.report.failure);
        return verdict;
    }
    // A SignedData without signers vouches for nothing.
    if (verdict.report.signers.empty()) {
        SetWholeReason(verdict, SignatureFailure::NoSignerCertificate);
        return verdict;
    }
    const std::vector<X509*> carried = Borrowed(verdict.report.carried);
    for (const SignerReport& signer : verdict.report.signers) {
        const SignerEvidence* found =
            signer.index < verdict.evidence.size() ? &verdict.evidence[signer.index] : nullptr;
        verdict.signers.push_back(JudgeSigner(signer, carried, rules, found));
        const SignerVerdict& judged = verdict.signers.back();
        if (!judged.valid && !verdict.failedSigner) {
            verdict.failedSigner = verdict.signers.size() - 1;
            verdict.reasonCode = judged.reasonCode;
            verdict.reasonText = judged.reasonText;
        }
    }
    verdict.valid = !verdict.failedSigner;
    return verdict;
}

} // namespace ordalis
