// CryptEncryptMessage: DER EnvelopedData for one or more GOST recipients, the
// content encrypted with the cipher of the key algorithm the caller names; an
// adapter over EncryptFor (MessageCore.h).

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"

#include <algorithm>
#include <vector>

namespace ordalis {

namespace {

// Fields the adapter does not implement: the content cipher's parameters are
// its own, and the engine needs no provider of the caller's.
bool SetsUnsupportedField(const CRYPT_ENCRYPT_MESSAGE_PARA& para)
{
    return para.hCryptProv || para.pvEncryptionAuxInfo || para.dwFlags || para.dwInnerContentType;
}

bool ParaIsValid(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount, PCCERT_CONTEXT recipients[],
                 const BYTE* content, DWORD contentSize, const DWORD* outSize)
{
    if (!para || !outSize || para->cbSize < kEncryptMessageParaSize || !IsMessageEncoding(para->dwMsgEncodingType) ||
        SetsUnsupportedField(*para))
        return false;
    if (recipientCount == 0 || !recipients || (contentSize > 0 && !content) || contentSize > kMaxContentSize)
        return false;
    return std::all_of(recipients, recipients + recipientCount, [](PCCERT_CONTEXT r) { return r && r->pCertInfo; });
}

// The content cipher: callers name it by the recipient's key algorithm, whose
// GOST table row gives it. Null with the last error set.
const EVP_CIPHER* ContentCipherFor(const char* keyAlgorithm)
{
    const GostAlgorithm* gost = GostAlgorithmForKey(keyAlgorithm);
    const EVP_CIPHER* cipher = gost ? EVP_get_cipherbynid(gost->contentCipherNid) : nullptr;
    if (!cipher)
        FailWith(codes::UnknownAlgo);
    return cipher;
}

} // namespace

BOOL CryptEncryptMessage(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount, PCCERT_CONTEXT recipients[],
                         const BYTE* toBeEncrypted, DWORD toBeEncryptedSize, BYTE* encryptedBlob,
                         DWORD* encryptedBlobSize)
{
    if (!ParaIsValid(para, recipientCount, recipients, toBeEncrypted, toBeEncryptedSize, encryptedBlobSize))
        return FailWith(codes::InvalidArg);
    if (!EnsureGostEngine())
        return false;
    const EVP_CIPHER* cipher = ContentCipherFor(para->ContentEncryptionAlgorithm.pszObjId);
    if (!cipher)
        return false;
    std::vector<X509*> certificates(recipientCount);
    std::transform(recipients, recipients + recipientCount, certificates.begin(), CertContextX509);
    const ByteView plain = toBeEncryptedSize > 0 ? ByteView(toBeEncrypted, toBeEncryptedSize) : ByteView();
    std::optional<OutgoingMessage> message = EncryptFor(certificates, plain, cipher);
    if (!message)
        return false;
    if (!encryptedBlob)
        return ReportSize(message->encodedLength(), encryptedBlobSize);
    const long length = message->encodeInto({encryptedBlob, *encryptedBlobSize});
    if (length < 0) {
        if (GetLastError() == codes::ErrorMoreData)
            *encryptedBlobSize = static_cast<DWORD>(message->encodedLength());
        return false;
    }
    *encryptedBlobSize = static_cast<DWORD>(length);
    return Succeed();
}

} // namespace ordalis
