#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"

#include <memory>

namespace ordalis {

// Makes a context for a parsed certificate, holding a reference to its store
// (empty for a certificate created from bytes). Null with the last error set on failure.
PCCERT_CONTEXT NewCertContext(X509Ptr certificate, std::shared_ptr<CertStore> store);

// The parsed certificate behind a context (borrowed).
X509* CertContextX509(PCCERT_CONTEXT context);

// The store that a context came from, or null.
std::shared_ptr<CertStore> CertContextStore(PCCERT_CONTEXT context);

// The private key acquired for a certificate, kept on its context as the platform
// caches an acquired key on the certificate: CryptAcquireCertificatePrivateKey
// sets it (taking a reference), CryptSignMessage finds the signer's key there.
// The key lives until the last reference to the context is freed.
void SetCertContextKey(PCCERT_CONTEXT context, EVP_PKEY* key);
// The cached key with a new reference, or null when none was acquired.
EvpPkeyPtr CertContextKey(PCCERT_CONTEXT context);

} // namespace ordalis
