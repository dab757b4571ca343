// CryptDecryptMessage: opens an EnvelopedData with the first certificate in the
// given stores that has a private key and is one of the message's recipients.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/cryptoapi/ContentCipherCheck.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageRecipient.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/cryptoapi/OsslError.h"

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

// The decoder copied the encrypted content out of the caller's bytes. When
// those bytes end with it (the content is the envelope's last element), the
// message is pointed back at them and the copy freed, so that a large message
// is held once while it is decrypted. Returns the bytes to decrypt.
std::span<const BYTE> ContentInCallerBytes(CMS_ContentInfo* cms, std::span<const BYTE> blob, BorrowedContent& borrowed)
{
    ASN1_OCTET_STRING** slot = CMS_get0_content(cms);
    const std::span<const BYTE> parsed(ASN1_STRING_get0_data(*slot), static_cast<std::size_t>(ASN1_STRING_length(*slot)));
    if (parsed.size() > blob.size())
        return parsed;
    const std::span<const BYTE> tail = blob.last(parsed.size());
    if (!std::equal(tail.begin(), tail.end(), parsed.begin()) || !borrowed.attach(slot, tail))
        return parsed;
    return tail;
}

// Decrypts the content straight into out with the cipher that CMS keyed.
// Wipes what it wrote on failure.
// out has room for all of encrypted: decryption never gives more than it is given.
bool DecryptInto(BIO* chain, std::span<const BYTE> encrypted, BYTE* out, DWORD* outSize)
{
    BIO* cipherBio = BIO_find_type(chain, BIO_TYPE_CIPHER);
    EVP_CIPHER_CTX* cipher = nullptr;
    if (!cipherBio || BIO_get_cipher_ctx(cipherBio, &cipher) != 1 || !cipher)
        return FailFromOpenSsl(codes::BadData);
    constexpr std::size_t kPiece = std::size_t{1} << 24;
    std::size_t done = 0;
    bool ok = true;
    for (std::size_t read = 0; ok && read < encrypted.size();) {
        const int n = static_cast<int>(std::min(encrypted.size() - read, kPiece));
        int written = 0;
        ok = EVP_CipherUpdate(cipher, out + done, &written, encrypted.data() + read, n) == 1;
        read += static_cast<std::size_t>(n);
        done += static_cast<std::size_t>(written);
    }
    int last = 0;
    // A padded cipher checks its padding here: a wrong key or damaged content fails.
    ok = ok && EVP_CipherFinal_ex(cipher, out + done, &last) == 1;
    done += static_cast<std::size_t>(last);
    if (!ok) {
        OPENSSL_cleanse(out, done);
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
    if (!cms || !ContentCipherParametersAreSound(cms.get()))
        return false;
    ASN1_OCTET_STRING** content = CMS_get0_content(cms.get());
    if (!content || !*content)
        return FailWith(codes::MsgError);
    // The content is never longer than its encryption: the size pass answers
    // with that and decrypts nothing, so a large file is decrypted once.
    const DWORD upperBound = static_cast<DWORD>(ASN1_STRING_length(*content));
    Decryptor decryptor;
    if (!FindDecryptor(cms.get(), *para, decryptor))
        return false;
    if (!decrypted || *decryptedSize < upperBound) {
        *decryptedSize = upperBound;
        return decrypted ? FailWith(codes::ErrorMoreData) : Succeed();
    }
    BorrowedContent borrowed;
    const std::span<const BYTE> encrypted =
        ContentInCallerBytes(cms.get(), {encryptedBlob, encryptedBlobSize}, borrowed);
    if (!OpenContentKey(cms.get(), decryptor))
        return false;
    // Keys the content cipher; the chain's own reading is not used.
    BioPtr chain(CMS_dataInit(cms.get(), nullptr));
    if (!chain)
        return FailFromOpenSsl(codes::BadData);
    if (!DecryptInto(chain.get(), encrypted, decrypted, decryptedSize))
        return false;
    if (exchangeCert)
        *exchangeCert = CertDuplicateCertificateContext(decryptor.certificate.get());
    return Succeed();
}

} // namespace ordalis
