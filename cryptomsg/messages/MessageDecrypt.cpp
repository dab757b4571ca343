// CryptDecryptMessage: opens an EnvelopedData with the first certificate in the
// given stores that has a private key and is one of the message's recipients;
// an adapter over Envelope (MessageCore.h). A sender's certificate that key
// agreement needs and the message does not carry is looked for in the same stores.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/EnvelopeStores.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/messages/MissingSender.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"

namespace ordalis {

namespace {

// The envelope, ready to look for a sender's certificate in the stores.
std::optional<Envelope> DecodeForStores(ByteView blob, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    std::optional<Envelope> envelope = Envelope::Decode(blob);
    if (envelope)
        LookForSendersInStores(*envelope, para);
    return envelope;
}

ByteView BlobView(const BYTE* blob, DWORD size) { return blob ? ByteView(blob, size) : ByteView(); }

} // namespace

BOOL CryptDecryptMessage(const CRYPT_DECRYPT_MESSAGE_PARA* para, const BYTE* encryptedBlob, DWORD encryptedBlobSize,
                         BYTE* decrypted, DWORD* decryptedSize, PCCERT_CONTEXT* exchangeCert)
{
    if (exchangeCert)
        *exchangeCert = nullptr;
    if (!para || !decryptedSize || !DecryptParaIsValid(*para))
        return FailWith(codes::InvalidArg);
    std::optional<Envelope> envelope = DecodeForStores(BlobView(encryptedBlob, encryptedBlobSize), *para);
    if (!envelope)
        return false;
    // The content is never longer than its encryption: the size pass answers
    // with that and decrypts nothing, so a large file is decrypted once.
    const DWORD upperBound = static_cast<DWORD>(envelope->contentSizeBound());
    CertContextPtr decryptor = FindDecryptor(*envelope, *para);
    if (!decryptor)
        return false;
    if (!decrypted || *decryptedSize < upperBound) {
        *decryptedSize = upperBound;
        return decrypted ? FailWith(codes::ErrorMoreData) : Succeed();
    }
    EvpPkeyPtr key = CertificateKey(decryptor.get());
    if (!key)
        return false;
    const std::optional<std::size_t> size =
        envelope->decryptInto(CertContextX509(decryptor.get()), key.get(), {decrypted, *decryptedSize});
    if (!size)
        return false;
    *decryptedSize = static_cast<DWORD>(*size);
    if (exchangeCert)
        *exchangeCert = CertDuplicateCertificateContext(decryptor.get());
    return Succeed();
}

std::optional<OriginatorName> MissingSenderCertificate(const CRYPT_DECRYPT_MESSAGE_PARA& para,
                                                       const BYTE* encryptedBlob, DWORD encryptedBlobSize)
{
    if (!DecryptParaIsValid(para))
        return std::nullopt;
    const std::uint32_t error = GetLastError();
    const std::optional<Envelope> envelope = DecodeForStores(BlobView(encryptedBlob, encryptedBlobSize), para);
    SetLastError(error);
    return envelope ? MissingSenderInStores(*envelope, para) : std::nullopt;
}

} // namespace ordalis
