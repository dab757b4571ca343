#pragma once

// The judgement of a whole signature: every signer's signature, and, when the
// user asks for it, every signer's trust. A signature holds only when all of
// its signers do; which signer comes first is DER's sorting, not the signers'
// standing, so none of them may be left unchecked.

#include "cryptomsg/messages/OnlineRevocation.h"
#include "cryptomsg/messages/ProvenTrust.h"
#include "cryptomsg/messages/SignatureExamination.h"
#include "cryptomsg/store/CertificateTrust.h"

#include <optional>
#include <string>
#include <vector>

namespace ordalis {

// Whether a certificate whose revocation cannot be checked (no current CRL of its
// issuer at hand) is trusted: by default it is, and the verdict says so.
enum class RevocationPolicy { AcceptUnknown, Required };

struct VerdictRules {
    bool trusted = false; // every signer's certificate must lead to a root of ROOT and not be revoked
    RevocationPolicy revocation = RevocationPolicy::AcceptUnknown;
    // Ask OCSP responders about the path of a signer whose trust is judged now
    // (one no signature timestamp dates); the CRLs answer where they do not.
    std::optional<OnlineRevocation> online;
};

struct SignerVerdict {
    bool valid = false;                // the signature holds and, when trust is asked, the certificate is trusted
    std::optional<TrustOutcome> trust; // for a signer whose certificate is known
    std::string reasonCode;            // why not, for scripts ("content-changed", "revoked", ...)
    std::string reasonText;            // the same in words
    const SignerEvidence* evidence = nullptr; // its timestamps and values, when examined (in SignatureVerdict)
    std::optional<TimestampFinding> provenBy; // the timestamp whose time the trust was judged at
    std::string revocationSource = "none";    // where the answer about its certificate came from ("ocsp": asked now)
};

struct SignatureVerdict {
    SignatureReport report;
    std::vector<SignerEvidence> evidence; // by the signers' index in the message, when examined
    std::vector<SignerVerdict> signers;   // beside report.signers
    bool valid = false;
    std::optional<std::size_t> failedSigner; // the first signer that does not hold, when one does not
    std::string reasonCode, reasonText;      // the whole signature's: that signer's, or why there is no signer
};

// Whether the rules accept a certificate's trust outcome.
bool TrustAccepted(const TrustOutcome& trust, RevocationPolicy revocation);

// Judges an examined signature by the rules. With the signers' evidence (by
// their index in the message), a signer whose signature timestamp holds has its
// trust judged at the time it proves, and with rules.trusted each of its
// timestamps must hold.
SignatureVerdict JudgeSignature(SignatureReport report, const VerdictRules& rules,
                                std::vector<SignerEvidence> evidence = {});

} // namespace ordalis
