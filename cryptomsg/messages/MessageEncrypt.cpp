// CryptEncryptMessage: DER EnvelopedData for one or more GOST recipients, the
// content encrypted with GOST 28147-89 (CFB) under a key sent by GOST key transport.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

namespace ordalis {

namespace {

constexpr unsigned kEnvelopeFlags = CMS_BINARY;

bool ParaIsValid(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount, PCCERT_CONTEXT recipients[],
                 const BYTE* content, DWORD contentSize, const DWORD* outSize)
{
    if (!para || !outSize || para->cbSize < kEncryptMessageParaSize || !IsMessageEncoding(para->dwMsgEncodingType))
        return false;
    if (recipientCount == 0 || !recipients || (contentSize > 0 && !content) || contentSize > kMaxContentSize)
        return false;
    return std::all_of(recipients, recipients + recipientCount, [](PCCERT_CONTEXT r) { return r && r->pCertInfo; });
}

// The content cipher for the recipient's key algorithm. Null with the last error set.
const EVP_CIPHER* ContentCipherFor(const char* keyAlgorithm)
{
    const GostAlgorithm* gost = GostAlgorithmForKey(keyAlgorithm);
    const EVP_CIPHER* cipher = gost ? EVP_get_cipherbynid(gost->contentCipherNid) : nullptr;
    // The encrypted content is written in place of the plain one, so it must be as long.
    if (!cipher || EVP_CIPHER_get_block_size(cipher) != 1 ||
        (EVP_CIPHER_get_flags(cipher) & EVP_CIPH_FLAG_CIPHER_WITH_MAC) != 0) {
        FailWith(codes::UnknownAlgo);
        return nullptr;
    }
    return cipher;
}

// An envelope with a recipient entry (key transport) for each certificate. Null with the last error set.
CmsPtr NewEnvelope(const EVP_CIPHER* cipher, DWORD count, PCCERT_CONTEXT recipients[])
{
    // Plain CMS_encrypt fails for GOST recipients: the engine needs the content
    // cipher named on each recipient's key context before the key is sent.
    CmsPtr cms(CMS_encrypt(nullptr, nullptr, cipher, kEnvelopeFlags | CMS_PARTIAL));
    if (!cms) {
        FailFromOpenSsl(codes::MsgError);
        return nullptr;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (!GostAlgorithmForKey(recipients[i]->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId)) {
            FailWith(codes::UnknownAlgo);
            return nullptr;
        }
        CMS_RecipientInfo* recipient =
            CMS_add1_recipient_cert(cms.get(), CertContextX509(recipients[i]), kEnvelopeFlags | CMS_KEY_PARAM);
        EVP_PKEY_CTX* keyContext = recipient ? CMS_RecipientInfo_get0_pkey_ctx(recipient) : nullptr;
        if (!keyContext || EVP_PKEY_CTX_ctrl(keyContext, -1, -1, EVP_PKEY_CTRL_CIPHER,
                                             EVP_CIPHER_get_nid(cipher), nullptr) <= 0) {
            FailFromOpenSsl(codes::UnknownAlgo);
            return nullptr;
        }
    }
    return cms;
}

// Encrypts the content into out with the content cipher that CMS set up.
bool EncryptInto(EVP_CIPHER_CTX* cipher, const BYTE* content, std::size_t size, BYTE* out)
{
    constexpr std::size_t kPiece = std::size_t{1} << 24;
    for (std::size_t done = 0; done < size;) {
        const int n = static_cast<int>(std::min(size - done, kPiece));
        int written = 0;
        if (EVP_CipherUpdate(cipher, out + done, &written, content + done, n) != 1 || written != n)
            return false;
        done += static_cast<std::size_t>(n);
    }
    unsigned char tail[EVP_MAX_BLOCK_LENGTH];
    int written = 0;
    return EVP_CipherFinal_ex(cipher, tail, &written) == 1 && written == 0;
}

} // namespace

BOOL CryptEncryptMessage(const CRYPT_ENCRYPT_MESSAGE_PARA* para, DWORD recipientCount,
                         PCCERT_CONTEXT recipients[], const BYTE* toBeEncrypted, DWORD toBeEncryptedSize,
                         BYTE* encryptedBlob, DWORD* encryptedBlobSize)
{
    if (!ParaIsValid(para, recipientCount, recipients, toBeEncrypted, toBeEncryptedSize, encryptedBlobSize))
        return FailWith(codes::InvalidArg);
    if (!EnsureGostEngine())
        return false;
    const EVP_CIPHER* cipher = ContentCipherFor(para->ContentEncryptionAlgorithm.pszObjId);
    if (!cipher)
        return false;
    CmsPtr cms = NewEnvelope(cipher, recipientCount, recipients);
    if (!cms)
        return false;
    // Makes the content key and sends it to each recipient; the chain's cipher
    // is then ready to encrypt. Its memory sink stays unused: the encrypted
    // content goes straight into the caller's buffer instead of a growing copy.
    BioPtr chain(CMS_dataInit(cms.get(), nullptr));
    BIO* cipherBio = chain ? BIO_find_type(chain.get(), BIO_TYPE_CIPHER) : nullptr;
    EVP_CIPHER_CTX* cipherContext = nullptr;
    if (!cipherBio || BIO_get_cipher_ctx(cipherBio, &cipherContext) != 1 || !cipherContext)
        return FailFromOpenSsl(codes::MsgError);

    // Encoded first with the plain content in its place, which fixes every length.
    const std::span<const BYTE> plain(toBeEncrypted, toBeEncryptedSize);
    BorrowedContent placeholder;
    if (!placeholder.attach(CMS_get0_content(cms.get()), plain))
        return false;
    if (!encryptedBlob)
        return ReportSize(EncodedLength(cms.get()), encryptedBlobSize);
    const long length = EncodeInto(cms.get(), encryptedBlob, encryptedBlobSize);
    if (length < 0)
        return false;
    // The encrypted content is the envelope's last element, so its octets end the encoding.
    BYTE* contentOut = encryptedBlob + (length - static_cast<long>(plain.size()));
    if ((!plain.empty() && std::memcmp(contentOut, plain.data(), plain.size()) != 0) ||
        !EncryptInto(cipherContext, plain.data(), plain.size(), contentOut)) {
        OPENSSL_cleanse(encryptedBlob, static_cast<std::size_t>(length));
        return FailFromOpenSsl(codes::MsgError);
    }
    return Succeed();
}

} // namespace ordalis
