// CryptDecryptMessage: opens an EnvelopedData with the first certificate in the
// given stores that has a private key and is one of the message's recipients.

#include "common/ErrorCodes.h"
#include "cryptomsg/CertContextInternal.h"
#include "cryptomsg/CertificateDescription.h"
#include "cryptomsg/CryptoApi.h"
#include "cryptomsg/CryptoRuntime.h"
#include "cryptomsg/MessageRecipient.h"
#include "cryptomsg/MessageSupport.h"
#include "cryptomsg/OsslError.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace ordalis {

namespace {

bool ParaIsValid(const CRYPT_DECRYPT_MESSAGE_PARA* para, const DWORD* outSize)
{
    return para && outSize && para->cbSize >= kDecryptMessageParaSize &&
           IsMessageEncoding(para->dwMsgAndCertEncodingType) && (para->cCertStore == 0 || para->rghCertStore);
}

struct Decryptor {
    CertContextPtr certificate;
    RecipientMatch recipient;
};

// The first certificate with a private key, in store order, that the message is
// addressed to. No key is opened here, so no password is asked.
bool FindDecryptor(CMS_ContentInfo* cms, const CRYPT_DECRYPT_MESSAGE_PARA& para, Decryptor& found)
{
    for (DWORD s = 0; s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            RecipientMatch match;
            if (CertHasPrivateKey(context) && FindRecipientFor(cms, CertContextX509(context), match)) {
                found.certificate.reset(context); // enumeration stops: the context is ours to free
                found.recipient = std::move(match);
                return true;
            }
        }
    }
    return FailWith(codes::NoDecryptCert);
}

// Recovers the content key for the decryptor's recipient entry.
bool OpenContentKey(CMS_ContentInfo* cms, const Decryptor& decryptor)
{
    EvpPkeyPtr key = CertificateKey(decryptor.certificate.get());
    if (!key)
        return false;
    // Without CMS_DEBUG_DECRYPT a key that fails to open the entry is replaced by a
    // random one and decryption "succeeds" with garbage; with it, it fails.
    if (CMS_decrypt(cms, nullptr, nullptr, nullptr, nullptr, CMS_BINARY | CMS_DEBUG_DECRYPT) != 1 ||
        CMS_decrypt_set1_pkey_and_peer(cms, key.get(), CertContextX509(decryptor.certificate.get()),
                                       decryptor.recipient.originator.get()) != 1)
        return FailFromOpenSsl(codes::BadData);
    return true;
}

// Reads the whole decrypted content from chain into out. Wipes what it wrote on failure.
bool ReadContent(BIO* chain, BYTE* out, DWORD* outSize, std::size_t upperBound)
{
    const std::size_t capacity = *outSize;
    constexpr std::size_t kPiece = std::size_t{1} << 24;
    std::size_t done = 0;
    bool overflow = false;
    for (;;) {
        unsigned char probe[64];
        BYTE* target = done < capacity ? out + done : probe;
        const std::size_t wanted = done < capacity ? std::min(capacity - done, kPiece) : sizeof probe;
        std::size_t got = 0;
        if (BIO_read_ex(chain, target, wanted, &got) != 1 || got == 0)
            break;
        if (target == probe) {
            OPENSSL_cleanse(probe, sizeof probe);
            overflow = true;
            break;
        }
        done += got;
    }
    BIO* cipher = BIO_find_type(chain, BIO_TYPE_CIPHER);
    if (overflow || !cipher || BIO_get_cipher_status(cipher) != 1) {
        OPENSSL_cleanse(out, done);
        if (overflow) {
            *outSize = static_cast<DWORD>(upperBound);
            return FailWith(codes::ErrorMoreData);
        }
        return FailFromOpenSsl(codes::BadData);
    }
    *outSize = static_cast<DWORD>(done);
    return true;
}

} // namespace

BOOL CryptDecryptMessage(const CRYPT_DECRYPT_MESSAGE_PARA* para, const BYTE* encryptedBlob,
                         DWORD encryptedBlobSize, BYTE* decrypted, DWORD* decryptedSize,
                         PCCERT_CONTEXT* exchangeCert)
{
    if (exchangeCert)
        *exchangeCert = nullptr;
    if (!ParaIsValid(para, decryptedSize))
        return FailWith(codes::InvalidArg);
    if (!EnsureGostEngine())
        return false;
    CmsPtr cms = DecodeMessage(encryptedBlob, encryptedBlobSize, NID_pkcs7_enveloped);
    if (!cms)
        return false;
    ASN1_OCTET_STRING** content = CMS_get0_content(cms.get());
    if (!content || !*content)
        return FailWith(codes::MsgError);
    // The content is never longer than its encryption: the size pass answers
    // with that and decrypts nothing, so a large file is decrypted once.
    const std::size_t upperBound = static_cast<std::size_t>(ASN1_STRING_length(*content));
    Decryptor decryptor;
    if (!FindDecryptor(cms.get(), *para, decryptor))
        return false;
    if (!decrypted) {
        *decryptedSize = static_cast<DWORD>(upperBound);
        return true;
    }
    if (!OpenContentKey(cms.get(), decryptor))
        return false;
    BioPtr chain(CMS_dataInit(cms.get(), nullptr));
    if (!chain)
        return FailFromOpenSsl(codes::BadData);
    if (!ReadContent(chain.get(), decrypted, decryptedSize, upperBound))
        return false;
    if (exchangeCert)
        *exchangeCert = CertDuplicateCertificateContext(decryptor.certificate.get());
    return true;
}

} // namespace ordalis
