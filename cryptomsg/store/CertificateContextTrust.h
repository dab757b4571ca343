#pragma once

// The trust of a certificate as a context holds it: the certificates of the
// store the context came from (for a verified signer, the ones its message
// carries) may complete the path.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/CertificateTrust.h"

namespace ordalis {

TrustOutcome CheckCertificateTrust(PCCERT_CONTEXT certificate, TrustPurpose purpose);

// A new context for a link of a path (borrowed), from the same store as the
// context the path was built for, so that its own path can be built alike.
// Null with the last error set on failure.
PCCERT_CONTEXT PathLinkContext(PCCERT_CONTEXT checked, X509* link);

} // namespace ordalis
