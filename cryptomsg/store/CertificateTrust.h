#pragma once

// Whether a signer's certificate leads to a root the user put into ROOT: the
// path is built by OpenSSL (X509_verify_cert) through the certificates a
// message carries and those of CA, each link's GOST signature and validity
// checked now, and each link's revocation against the CRLs of CA.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <span>
#include <string>
#include <vector>

namespace ordalis {

enum class TrustVerdict {
    Trusted,           // a path to ROOT, every link valid now and not revoked by a CRL at hand
    NoTrustedRoot,     // no path to a root of ROOT (or a link's signature does not hold)
    Revoked,           // a link is revoked by a CRL of CA
    OutOfDate,         // a link has expired or is not valid yet
    RevocationUnknown, // the path holds, but some link has no current CRL
    NotForSigning,     // the path holds, but the certificate's key usage excludes signing
};

// What is wrong with one link of a path by itself, if anything.
enum class LinkState {
    Valid,
    UntrustedRoot,     // a root that is not in ROOT
    IssuerMissing,     // the top of what was built: its issuer is in no store
    Revoked,           // revoked by a CRL of CA
    Expired,           // its validity has ended
    NotYetValid,       // its validity has not begun
    BadSignature,      // its issuer's signature on it does not hold
    RevocationUnknown, // no current CRL tells whether it is revoked
    NotForSigning,     // its key usage excludes signing (the certificate checked only)
    OtherFault,        // anything else OpenSSL found
};

struct LinkTrust {
    LinkState state = LinkState::Valid;
    std::string revokedOn; // Revoked: when, "dd.MM.yyyy HH:mm:ss UTC"
    std::string reason;    // OtherFault: OpenSSL's words
};

// Whether the certificate checked is to sign with (its key usage must allow
// it) or only looked at (a certification authority's own certificate).
enum class TrustPurpose { Signing, AnyUse };

struct TrustOutcome {
    TrustVerdict verdict = TrustVerdict::NoTrustedRoot;
    int link = -1;                // the link concerned: 0 the certificate itself, 1 its issuer, ...
    std::string linkSubject;      // that link's subject
    bool notYetValid = false;     // OutOfDate: the link is not valid yet (else it has expired)
    std::string revokedOn;        // Revoked: when, "dd.MM.yyyy HH:mm:ss UTC"
    std::string reason;           // OpenSSL's words for what stopped the path, when something did
    std::vector<X509Ptr> path;    // the certificate first, towards the root as far as it was built
    std::vector<LinkTrust> links; // beside path: each link's own state
};

// Checks a signer's certificate now; carried are the certificates of its message.
TrustOutcome CheckSigningTrust(X509* certificate, std::span<X509* const> carried = {});

// The same, for a certificate with the given purpose.
TrustOutcome CheckTrust(X509* certificate, std::span<X509* const> carried, TrustPurpose purpose);

// A stable word for scripts ("trusted", "no-trusted-root", ...).
const char* TrustVerdictCode(TrustVerdict verdict);

// One sentence for the user, in Russian, naming the link and date where there is one.
std::string TrustSentence(const TrustOutcome& outcome);

// One sentence for the user about one link by itself ("Этот сертификат действителен.").
std::string LinkSentence(const LinkTrust& link);

} // namespace ordalis
