// CryptDecryptMessage: opens an EnvelopedData with the first certificate in the
// given stores that has a private key and is one of the message's recipients;
// an adapter over Envelope (MessageCore.h). A sender's certificate that key
// agreement needs and the message does not carry is looked for in the same stores.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/messages/MissingSender.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"

namespace ordalis {

namespace {

bool ParaIsValid(const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    return para.cbSize >= kDecryptMessageParaSize && IsMessageEncoding(para.dwMsgAndCertEncodingType) &&
           (para.cCertStore == 0 || para.rghCertStore);
}

// The envelope, ready to look for a sender's certificate in the stores.
std::optional<Envelope> DecodeForStores(ByteView blob, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    std::optional<Envelope> envelope = Envelope::Decode(blob);
    if (!envelope)
        return std::nullopt;
    std::vector<X509Ptr> certificates;
    for (DWORD s = 0; s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            X509* certificate = CertContextX509(context);
            X509_up_ref(certificate);
            certificates.emplace_back(certificate);
        }
    }
    envelope->lookForSendersAmong(std::move(certificates));
    return envelope;
}

ByteView BlobView(const BYTE* blob, DWORD size) { return blob ? ByteView(blob, size) : ByteView(); }

// The first certificate with a private key, in store order, that the envelope is
// addressed to. No key is opened here, so no password is asked. Null with the last error set.
CertContextPtr FindDecryptor(const Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    for (DWORD s = 0; s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            if (CertHasPrivateKey(context) && envelope.isAddressedTo(CertContextX509(context)))
                return CertContextPtr(context); // enumeration stops: the context is ours to free
        }
    }
    FailWith(codes::NoDecryptCert);
    return nullptr;
}

} // namespace

BOOL CryptDecryptMessage(const CRYPT_DECRYPT_MESSAGE_PARA* para, const BYTE* encryptedBlob, DWORD encryptedBlobSize,
                         BYTE* decrypted, DWORD* decryptedSize, PCCERT_CONTEXT* exchangeCert)
{
    if (exchangeCert)
        *exchangeCert = nullptr;
    if (!para || !decryptedSize || !ParaIsValid(*para))
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
    const std::uint32_t error = GetLastError();
    std::optional<OriginatorName> missing;
    if (ParaIsValid(para)) {
        const std::optional<Envelope> envelope = DecodeForStores(BlobView(encryptedBlob, encryptedBlobSize), para);
        for (DWORD s = 0; envelope && !missing && s < para.cCertStore; ++s) {
            PCCERT_CONTEXT context = nullptr;
            while (!missing && (context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
                if (CertHasPrivateKey(context))
                    missing = envelope->missingSenderFor(CertContextX509(context));
            }
            CertFreeCertificateContext(context);
        }
    }
    // Asked after a failure, whose code the caller still reports.
    SetLastError(error);
    return missing;
}

} // namespace ordalis
