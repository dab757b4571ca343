#pragma once

// Checking a timestamp token found in a signature: its imprint over the bytes
// it should cover, its signature, and its authority's path to a root of ROOT.

#include <openssl/x509.h>

#include <ctime>
#include <span>
#include <string>

namespace ordalis {

enum class TimestampKind {
    Signature,      // over a signer's signature value (CAdES-T)
    ValidationData, // over the signature, its timestamp and the validation references (CAdES-X Type 1)
};

enum class TimestampVerdict {
    Valid,
    ImprintMismatch,    // it stamps other bytes than these
    BadSignature,       // undecodable, or its signature does not hold
    UntrustedAuthority, // the authority's certificate does not lead to a root of ROOT, or is not for timestamping
};

struct TimestampFinding {
    TimestampKind kind = TimestampKind::Signature;
    TimestampVerdict verdict = TimestampVerdict::BadSignature;
    std::time_t time = 0;  // the time the token states (0 when unreadable)
    std::string timeText;  // "dd.MM.yyyy HH:mm:ss UTC"
    std::string authority; // the authority's subject, when known
    std::string reason;    // OpenSSL's words for a failure
    bool valid() const { return verdict == TimestampVerdict::Valid; }
};

// Checks a token (DER ContentInfo) over data; extra are certificates beyond
// those of the token and of CA to build the authority's path through.
TimestampFinding CheckTimestampToken(std::span<const unsigned char> token, std::span<const unsigned char> data,
                                     std::span<X509* const> extra, TimestampKind kind);

// A stable word for scripts ("valid", "imprint-mismatch", ...).
const char* TimestampVerdictCode(TimestampVerdict verdict);

// The user's words for a timestamp's verdict, in Russian.
std::string TimestampVerdictSentence(const TimestampFinding& finding);

} // namespace ordalis
