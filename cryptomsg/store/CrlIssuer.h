#pragma once

// Whose list a CRL is. A CRL names its issuer only by a name that anyone can
// write into a list of their own, so a CRL counts as a certificate authority's
// only when that authority's key signed it.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <span>

namespace ordalis {

// Whether issuer's key signed crl: the names agree, the CRL's authority key
// identifier (where both it and the certificate's subject key identifier are
// present) is the certificate's, and the signature holds.
bool IsCrlIssuedBy(X509_CRL* crl, X509* issuer);

// The first of candidates whose key signed crl; null when none did.
X509* CrlIssuerAmong(X509_CRL* crl, std::span<X509* const> candidates);

// A delta CRL lists only the changes since its base CRL; it is not read on its own.
bool IsDeltaCrl(X509_CRL* crl);

} // namespace ordalis
