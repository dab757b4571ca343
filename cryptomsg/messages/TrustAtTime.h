#pragma once

// The trust verdict on a signer's certificate as of a time a timestamp proves:
// the path must hold at that time, and no CRL of each link's issuer may
// revoke a link at or before it. A certificate that has expired since, or was
// revoked after that time, is still trusted for a signature proven older.

#include "cryptomsg/store/CertificateTrust.h"

#include <openssl/ocsp.h>

#include <ctime>
#include <span>

namespace ordalis {

// The revocation answers a signature holds as values.
struct HeldRevocation {
    std::span<X509_CRL* const> crls;
    std::span<OCSP_BASICRESP* const> ocsp;
};

// Where the answer about the signer's own certificate came from: "ocsp-values"
// (an OCSP answer the signature holds), "crl-values", "crl" (the CA store) or "none".
struct TrustAtTime {
    TrustOutcome outcome;
    std::string revocationSource = "none";
};

// carried: the message's certificates and any the signature holds as values.
// Each link is answered for by a held OCSP answer that holds, else by the
// CRLs held and those of CA.
TrustAtTime CheckSigningTrustAt(X509* certificate, std::span<X509* const> carried, std::time_t when,
                                const HeldRevocation& held);

} // namespace ordalis
