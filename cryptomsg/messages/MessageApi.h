#pragma once

// The message functions of the CryptoAPI-shaped layer, with their parameter
// records: thin adapters over the native core (MessageCore.h). They work in two
// passes: first without an output buffer to learn the size, then into a buffer
// of that size. A failed call returns false and sets the thread's last-error code.

#include "cryptomsg/cryptoapi/CryptoApi.h"

namespace ordalis {

// The record sizes the callers set in cbSize (those of the 32-bit platform).
inline constexpr DWORD kSignMessageParaSize = 68;
inline constexpr DWORD kVerifyMessageParaSize = 20;
inline constexpr DWORD kEncryptMessageParaSize = 36;
inline constexpr DWORD kDecryptMessageParaSize = 16;

// The fields that the records have and that the functions do not implement
// (hash and encryption parameters, CRLs, attributes, flags, inner content
// types, a caller's provider or certificate lookup) must be zero: a record that
// sets one is refused with the invalid-argument code.

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

BOOL CryptSignMessage(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detachedSignature, DWORD toBeSignedCount,
                      const BYTE* toBeSigned[], const DWORD toBeSignedSizes[], BYTE* signedBlob, DWORD* signedBlobSize);

BOOL CryptVerifyDetachedMessageSignature(const CRYPT_VERIFY_MESSAGE_PARA* para, DWORD signerIndex,
                                         const BYTE* detachedSignature, DWORD detachedSignatureSize,
                                         DWORD toBeSignedCount, const BYTE* toBeSigned[], const DWORD toBeSignedSizes[],
                                         PCCERT_CONTEXT* signerCert);

BOOL CryptEncryptMessage(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount, PCCERT_CONTEXT recipients[],
                         const BYTE* toBeEncrypted, DWORD toBeEncryptedSize, BYTE* encryptedBlob,
                         DWORD* encryptedBlobSize);

BOOL CryptDecryptMessage(const CRYPT_DECRYPT_MESSAGE_PARA* para, const BYTE* encryptedBlob, DWORD encryptedBlobSize,
                         BYTE* decrypted, DWORD* decryptedSize, PCCERT_CONTEXT* exchangeCert);

} // namespace ordalis
