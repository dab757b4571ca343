#pragma once

// The certificate-store and message operations, with the names, records and
// calling contracts of the classic CryptoAPI, over OpenSSL and its GOST engine.
// A failed call returns false (or null) and sets the thread's last-error code
// (common/LastError.h). Message calls work in two passes: first without an
// output buffer to learn the size, then into a buffer of that size.

#include "common/FileTime.h"

#include <cstdint>
#include <memory>

namespace ordalis {

using BOOL = int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BYTE = unsigned char;

inline constexpr DWORD X509_ASN_ENCODING = 0x00000001;
inline constexpr DWORD PKCS_7_ASN_ENCODING = 0x00010000;
inline constexpr DWORD kEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING; // 65537
inline constexpr DWORD CERT_OID_NAME_STR = 2;
inline constexpr DWORD CERT_CLOSE_STORE_CHECK_FLAG = 2;

// The record sizes the callers set in cbSize (those of the 32-bit platform).
inline constexpr DWORD kSignMessageParaSize = 68;
inline constexpr DWORD kVerifyMessageParaSize = 20;
inline constexpr DWORD kEncryptMessageParaSize = 36;
inline constexpr DWORD kDecryptMessageParaSize = 16;

struct CRYPT_INTEGER_BLOB {
    DWORD cbData;
    BYTE* pbData;
};
using CRYPT_DATA_BLOB = CRYPT_INTEGER_BLOB;
using CRYPT_OBJID_BLOB = CRYPT_INTEGER_BLOB;
using CERT_NAME_BLOB = CRYPT_INTEGER_BLOB;

struct CRYPT_BIT_BLOB {
    DWORD cbData;
    BYTE* pbData;
    DWORD cUnusedBits;
};

struct CRYPT_ALGORITHM_IDENTIFIER {
    const char* pszObjId;
    CRYPT_OBJID_BLOB Parameters;
};

struct CERT_PUBLIC_KEY_INFO {
    CRYPT_ALGORITHM_IDENTIFIER Algorithm;
    CRYPT_BIT_BLOB PublicKey;
};

// A certificate's decoded fields. SerialNumber is stored least significant byte first.
struct CERT_INFO {
    DWORD dwVersion;
    CRYPT_INTEGER_BLOB SerialNumber;
    CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
    CERT_NAME_BLOB Issuer;
    FILETIME NotBefore;
    FILETIME NotAfter;
    CERT_NAME_BLOB Subject;
    CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
};

struct CertStore;
using HCERTSTORE = CertStore*;

struct CERT_CONTEXT {
    DWORD dwCertEncodingType;
    BYTE* pbCertEncoded;
    DWORD cbCertEncoded;
    CERT_INFO* pCertInfo;
    HCERTSTORE hCertStore;
};
using PCCERT_CONTEXT = const CERT_CONTEXT*;

// A private key acquired for a certificate.
struct KeyProvider;
using HCRYPTPROV = KeyProvider*;

struct CRYPT_SIGN_MESSAGE_PARA {
    DWORD cbSize;
    DWORD dwMsgEncodingType;
    PCCERT_CONTEXT pSigningCert;
    CRYPT_ALGORITHM_IDENTIFIER HashAlgorithm;
    void* pvHashAuxInfo;
    DWORD cMsgCert;
    PCCERT_CONTEXT* rgpMsgCert;
    DWORD cMsgCrl;
    void** rgpMsgCrl;
    DWORD cAuthAttr;
    void* rgAuthAttr;
    DWORD cUnauthAttr;
    void* rgUnauthAttr;
    DWORD dwFlags;
    DWORD dwInnerContentType;
};

struct CRYPT_VERIFY_MESSAGE_PARA {
    DWORD cbSize;
    DWORD dwMsgAndCertEncodingType;
    HCRYPTPROV hCryptProv;
    void* pfnGetSignerCertificate;
    void* pvGetArg;
};

struct CRYPT_ENCRYPT_MESSAGE_PARA {
    DWORD cbSize;
    DWORD dwMsgEncodingType;
    HCRYPTPROV hCryptProv;
    CRYPT_ALGORITHM_IDENTIFIER ContentEncryptionAlgorithm;
    void* pvEncryptionAuxInfo;
    DWORD dwFlags;
    DWORD dwInnerContentType;
};

struct CRYPT_DECRYPT_MESSAGE_PARA {
    DWORD cbSize;
    DWORD dwMsgAndCertEncodingType;
    DWORD cCertStore;
    HCERTSTORE* rghCertStore;
};

// --- Stores -----------------------------------------------------------------

// Opens the named store folder of the current user (created when missing).
HCERTSTORE CertOpenSystemStoreA(HCRYPTPROV hProv, const char* storeName);
BOOL CertCloseStore(HCERTSTORE store, DWORD flags);
// The certificate after previous (which it frees), in a stable order; null at the end.
PCCERT_CONTEXT CertEnumCertificatesInStore(HCERTSTORE store, PCCERT_CONTEXT previous);

// --- Certificate contexts ---------------------------------------------------

PCCERT_CONTEXT CertCreateCertificateContext(DWORD encoding, const BYTE* encoded, DWORD length);
PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT context);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT context);
// -1 before the validity period, 0 inside it, +1 after it; time null means now.
LONG CertVerifyTimeValidity(const FILETIME* time, const CERT_INFO* info);
// Writes the name as text; returns the characters needed or written, the terminating zero included.
DWORD CertNameToStrA(DWORD encoding, const CERT_NAME_BLOB* name, DWORD strType, char* text, DWORD capacity);

// --- Keys -------------------------------------------------------------------

// Finds the private key of a store certificate, asking for its password through
// the thread's password prompt (cryptomsg/store/KeyPasswordPrompt.h) when it is protected.
BOOL CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT cert, DWORD flags, void* reserved, HCRYPTPROV* provider,
                                       DWORD* keySpec, BOOL* callerFreeProvider);
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

// --- Messages ---------------------------------------------------------------

BOOL CryptSignMessage(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detachedSignature, DWORD toBeSignedCount,
                      const BYTE* toBeSigned[], const DWORD toBeSignedSizes[], BYTE* signedBlob,
                      DWORD* signedBlobSize);

BOOL CryptVerifyDetachedMessageSignature(const CRYPT_VERIFY_MESSAGE_PARA* para, DWORD signerIndex,
                                         const BYTE* detachedSignature, DWORD detachedSignatureSize,
                                         DWORD toBeSignedCount, const BYTE* toBeSigned[],
                                         const DWORD toBeSignedSizes[], PCCERT_CONTEXT* signerCert);

BOOL CryptEncryptMessage(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount,
                         PCCERT_CONTEXT recipients[], const BYTE* toBeEncrypted, DWORD toBeEncryptedSize,
                         BYTE* encryptedBlob, DWORD* encryptedBlobSize);

BOOL CryptDecryptMessage(const CRYPT_DECRYPT_MESSAGE_PARA* para, const BYTE* encryptedBlob,
                         DWORD encryptedBlobSize, BYTE* decrypted, DWORD* decryptedSize,
                         PCCERT_CONTEXT* exchangeCert);

// --- Ownership --------------------------------------------------------------

struct CertContextFree {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct CertStoreClose {
    void operator()(HCERTSTORE s) const { CertCloseStore(s, 0); }
};
struct ProviderRelease {
    void operator()(HCRYPTPROV p) const { CryptReleaseContext(p, 0); }
};
using CertContextPtr = std::unique_ptr<const CERT_CONTEXT, CertContextFree>;
using CertStorePtr = std::unique_ptr<CertStore, CertStoreClose>;
using ProviderPtr = std::unique_ptr<KeyProvider, ProviderRelease>;

} // namespace ordalis
