#pragma once

// The certificate-store functions of the CryptoAPI-shaped layer, over the
// store folders (cryptomsg/cryptoapi/CryptoApi.h has the shared types and the
// calling contract).

#include "cryptomsg/cryptoapi/CryptoApi.h"

#include <memory>

namespace ordalis {

inline constexpr DWORD CERT_CLOSE_STORE_CHECK_FLAG = 2;

// Opens the named store folder of the current user (created when missing).
HCERTSTORE CertOpenSystemStoreA(HCRYPTPROV hProv, const char* storeName);
BOOL CertCloseStore(HCERTSTORE store, DWORD flags);
// The certificate after previous (which it frees), in a stable order; null at the end.
PCCERT_CONTEXT CertEnumCertificatesInStore(HCERTSTORE store, PCCERT_CONTEXT previous);

// Finds the private key of a store certificate, asking for its password through
// the thread's password prompt (cryptomsg/store/KeyPasswordPrompt.h) when it is protected.
BOOL CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT cert, DWORD flags, void* reserved, HCRYPTPROV* provider,
                                       DWORD* keySpec, BOOL* callerFreeProvider);

struct CertStoreClose {
    void operator()(HCERTSTORE s) const { CertCloseStore(s, 0); }
};
using CertStorePtr = std::unique_ptr<CertStore, CertStoreClose>;

} // namespace ordalis
