#pragma once

// The long-term view of a signature's signers for its verification: each
// signer's timestamps and values, and the trust in its certificate judged at
// the time a valid signature timestamp proves (else now).

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/SignerEvidence.h"
#include "cryptomsg/store/CertificateTrust.h"

#include <span>
#include <vector>

namespace ordalis {

// The evidence of each signer of a DER SignedData, in the message's order of
// signers; empty when it does not decode.
std::vector<SignerEvidence> ExamineMessageEvidence(std::span<const unsigned char> der);

struct SignerTrust {
    TrustOutcome outcome;
    std::optional<TimestampFinding> provenBy; // the timestamp whose time the verdict was taken at
    // Where the answer about the certificate itself came from: "ocsp-values", "crl-values", "crl" or "none".
    std::string revocationSource = "none";
};

// Trust in a signer's certificate: as of the earliest valid signature
// timestamp, with the certificate and revocation values the signature holds,
// when there is one; else now, as for any signature.
SignerTrust JudgeSignerTrust(X509* certificate, std::span<X509* const> carried, const SignerEvidence& evidence);

// The trust in a verified signer's certificate (its context from the message,
// whose certificates may complete the path), judged at the time a valid
// signature timestamp of signer index proves; nothing when none dates it.
std::optional<SignerTrust> ProvenSignerTrust(PCCERT_CONTEXT signer, std::span<const unsigned char> der,
                                             std::size_t index);

// The sentence that says when a signature was made, as a timestamp proves it, in Russian.
std::string ProvenTimeSentence(const TimestampFinding& proof);
// The words that say a verdict was taken at a timestamp's time, in Russian.
std::string VerdictTimeWords(const TimestampFinding& proof);

} // namespace ordalis
