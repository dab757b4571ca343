#include "cryptomsg/operations/SignatureVerdict.h"

namespace ordalis {

namespace {

std::vector<X509*> Borrowed(const std::vector<X509Ptr>& certificates)
{
    std::vector<X509*> pointers;
    for (const X509Ptr& certificate : certificates)
        pointers.push_back(certificate.get());
    return pointers;
}

SignerVerdict JudgeSigner(const SignerReport& signer, const std::vector<X509*>& carried, const VerdictRules& rules)
{
    SignerVerdict verdict;
    if (signer.certificate)
        verdict.trust = CheckSigningTrust(signer.certificate.get(), carried);
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

SignatureVerdict JudgeSignature(SignatureReport report, const VerdictRules& rules)
{
    SignatureVerdict verdict;
    verdict.report = std::move(report);
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
        verdict.signers.push_back(JudgeSigner(signer, carried, rules));
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
