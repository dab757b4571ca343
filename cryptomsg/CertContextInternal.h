#pragma once

#include "cryptomsg/CryptoApi.h"
#include "cryptomsg/Ossl.h"

#include <memory>

namespace ordalis {

// Makes a context for a parsed certificate, holding a reference to its store
// (empty for a certificate created from bytes). Null with the last error set on failure.
PCCERT_CONTEXT NewCertContext(X509Ptr certificate, std::shared_ptr<CertStore> store);

// The parsed certificate behind a context (borrowed).
X509* CertContextX509(PCCERT_CONTEXT context);

// The store that a context came from, or null.
std::shared_ptr<CertStore> CertContextStore(PCCERT_CONTEXT context);

} // namespace ordalis
