#include "cryptomsg/messages/TrustAtTime.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/messages/CertificatePaths.h"
#include "cryptomsg/messages/OcspClient.h"
#include "cryptomsg/messages/RevocationAnswers.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <openssl/x509v3.h>

#include <algorithm>

namespace ordalis {

namespace {

void SetLink(TrustOutcome& outcome, int depth)
{
    outcome.link = depth;
    if (depth >= 0 && static_cast<std::size_t>(depth) < outcome.path.size())
        outcome.linkSubject = FormatName(X509_get_subject_name(outcome.path[static_cast<std::size_t>(depth)].get()),
                                         NameStyle::ShortName);
}

LinkState StateOfPathError(int error)
{
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return LinkState::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID: return LinkState::NotYetValid;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE: return LinkState::BadSignature;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY: return LinkState::IssuerMissing;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return LinkState::UntrustedRoot;
    default: return LinkState::OtherFault;
    }
}

void JudgeBrokenPath(TrustOutcome& outcome, const BuiltPath& built)
{
    const bool outOfDate = built.error == X509_V_ERR_CERT_HAS_EXPIRED || built.error == X509_V_ERR_CERT_NOT_YET_VALID;
    outcome.verdict = outOfDate ? TrustVerdict::OutOfDate : TrustVerdict::NoTrustedRoot;
    outcome.notYetValid = built.error == X509_V_ERR_CERT_NOT_YET_VALID;
    outcome.reason = X509_verify_cert_error_string(built.error);
    SetLink(outcome, built.errorDepth);
    if (built.errorDepth >= 0 && static_cast<std::size_t>(built.errorDepth) < outcome.links.size()) {
        LinkTrust& link = outcome.links[static_cast<std::size_t>(built.errorDepth)];
        link.state = StateOfPathError(built.error);
        if (link.state == LinkState::OtherFault)
            link.reason = outcome.reason;
    }
}

bool AllowsSigning(X509* certificate)
{
    if (!(X509_get_extension_flags(certificate) & EXFLAG_KUSAGE))
        return true;
    return (X509_get_key_usage(certificate) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) != 0;
}

// A held OCSP answer first, then the CRLs; says which answered.
RevocationAnswer AnswerFor(X509* certificate, X509* issuer, std::span<X509* const> extra, const HeldRevocation& held,
                           std::span<X509_CRL* const> crls, std::time_t when, std::string& source)
{
    RevocationAnswer answer = OcspAnswerAt(certificate, issuer, held.ocsp, extra, when);
    if (answer.state != RevocationState::Unknown) {
        source = "ocsp-values";
        return answer;
    }
    answer = CrlAnswerAt(certificate, issuer, crls, when);
    const bool heldList = std::find(held.crls.begin(), held.crls.end(), answer.crl) != held.crls.end();
    source = answer.state == RevocationState::Unknown ? "none" : heldList ? "crl-values" : "crl";
    return answer;
}

// Each link but the root; the nearest revoked link decides, then the nearest unknown.
void JudgeRevocation(TrustAtTime& judged, std::span<X509* const> extra, const HeldRevocation& held,
                     std::span<X509_CRL* const> crls, std::time_t when)
{
    TrustOutcome& outcome = judged.outcome;
    int unknown = -1;
    for (std::size_t i = 0; i + 1 < outcome.path.size(); ++i) {
        std::string source;
        const RevocationAnswer answer =
            AnswerFor(outcome.path[i].get(), outcome.path[i + 1].get(), extra, held, crls, when, source);
        if (i == 0)
            judged.revocationSource = source;
        if (answer.state == RevocationState::Revoked) {
            outcome.links[i] = {LinkState::Revoked, answer.revokedOn, {}};
            outcome.verdict = TrustVerdict::Revoked;
            outcome.revokedOn = answer.revokedOn;
            SetLink(outcome, static_cast<int>(i));
            return;
        }
        if (answer.state == RevocationState::Unknown) {
            outcome.links[i].state = LinkState::RevocationUnknown;
            if (unknown < 0)
                unknown = static_cast<int>(i);
        }
    }
    outcome.verdict = unknown >= 0 ? TrustVerdict::RevocationUnknown : TrustVerdict::Trusted;
    if (unknown >= 0)
        SetLink(outcome, unknown);
}

} // namespace

TrustAtTime CheckSigningTrustAt(X509* certificate, std::span<X509* const> carried, std::time_t when,
                                const HeldRevocation& held)
{
    TrustAtTime judged;
    TrustOutcome& outcome = judged.outcome;
    if (!certificate)
        return judged;
    BuiltPath built = BuildPath(certificate, carried, when);
    outcome.path = std::move(built.path);
    outcome.links.resize(outcome.path.size());
    if (!built.holds()) {
        JudgeBrokenPath(outcome, built);
        return judged;
    }
    if (!AllowsSigning(certificate)) {
        outcome.verdict = TrustVerdict::NotForSigning;
        outcome.links[0].state = LinkState::NotForSigning;
        SetLink(outcome, 0);
        return judged;
    }
    const StoreContent ca = ReadStoreContent(StoreFolderPath(kCaStore));
    std::vector<X509_CRL*> crls(held.crls.begin(), held.crls.end());
    for (const X509CrlPtr& crl : ca.crls)
        crls.push_back(crl.get());
    JudgeRevocation(judged, carried, held, crls, when);
    return judged;
}

} // namespace ordalis
