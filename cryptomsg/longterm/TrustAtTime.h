#pragma once

// The trust verdict on a signer's certificate as of a time a timestamp proves:
// the path must hold at that time, and no CRL of each link's issuer may
// revoke a link at or before it. A certificate that has expired since, or was
// revoked after that time, is still trusted for a signature proven older.

#include "cryptomsg/store/CertificateTrust.h"

#include <ctime>
#include <span>

namespace ordalis {

// carried: the message's certificates and any the signature holds as values;
// embeddedCrls: the CRLs the signature holds, used with those of CA.
TrustOutcome CheckSigningTrustAt(X509* certificate, std::span<X509* const> carried, std::time_t when,
                                 std::span<X509_CRL* const> embeddedCrls);

} // namespace ordalis
