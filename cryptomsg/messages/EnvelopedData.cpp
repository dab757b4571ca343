// The core's encryption: an EnvelopedData for GOST recipients, the content
// encrypted under a key sent to each by GOST key transport.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"

#include <algorithm>

namespace ordalis {

namespace {

constexpr unsigned kEnvelopeFlags = CMS_BINARY;

const GostAlgorithm* GostKeyOf(X509* certificate)
{
    ASN1_OBJECT* keyAlgorithm = nullptr;
    X509_PUBKEY_get0_param(&keyAlgorithm, nullptr, nullptr, nullptr, X509_get_X509_PUBKEY(certificate));
    return keyAlgorithm ? GostAlgorithmForKeyNid(OBJ_obj2nid(keyAlgorithm)) : nullptr;
}

// The encrypted content is written in place of the plain one, so the cipher
// must keep its length. Null with the last error set.
const EVP_CIPHER* LengthKeepingCipher(const EVP_CIPHER* cipher)
{
    if (!cipher || EVP_CIPHER_get_block_size(cipher) != 1 ||
        (EVP_CIPHER_get_flags(cipher) & EVP_CIPH_FLAG_CIPHER_WITH_MAC) != 0) {
        FailWith(codes::UnknownAlgo);
        return nullptr;
    }
    return cipher;
}

// An envelope with a recipient entry (key transport) for each certificate. Null with the last error set.
CmsPtr NewEnvelope(const EVP_CIPHER* cipher, std::span<X509* const> recipients)
{
    // Plain CMS_encrypt fails for GOST recipients: the engine needs the content
    // cipher named on each recipient's key context before the key is sent.
    CmsPtr cms(CMS_encrypt(nullptr, nullptr, cipher, kEnvelopeFlags | CMS_PARTIAL));
    if (!cms) {
        FailFromOpenSsl(codes::MsgError);
        return nullptr;
    }
    for (X509* recipient : recipients) {
        if (!GostKeyOf(recipient)) {
            FailWith(codes::UnknownAlgo);
            return nullptr;
        }
        CMS_RecipientInfo* entry = CMS_add1_recipient_cert(cms.get(), recipient, kEnvelopeFlags | CMS_KEY_PARAM);
        EVP_PKEY_CTX* keyContext = entry ? CMS_RecipientInfo_get0_pkey_ctx(entry) : nullptr;
        if (!keyContext ||
            EVP_PKEY_CTX_ctrl(keyContext, -1, -1, EVP_PKEY_CTRL_CIPHER, EVP_CIPHER_get_nid(cipher), nullptr) <= 0) {
            FailFromOpenSsl(codes::UnknownAlgo);
            return nullptr;
        }
    }
    return cms;
}

} // namespace

CmsPtr NewGostEnvelope(std::span<X509* const> recipients, const EVP_CIPHER* cipher)
{
    if (recipients.empty() || std::find(recipients.begin(), recipients.end(), nullptr) != recipients.end()) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    if (!EnsureGostEngine())
        return nullptr;
    if (!cipher) {
        const GostAlgorithm* gost = GostKeyOf(recipients.front());
        cipher = gost ? EVP_get_cipherbynid(gost->contentCipherNid) : nullptr;
    }
    return LengthKeepingCipher(cipher) ? NewEnvelope(cipher, recipients) : nullptr;
}

std::optional<OutgoingMessage> EncryptFor(std::span<X509* const> recipients, ByteView content, const EVP_CIPHER* cipher)
{
    if (content.size() > kMaxContentSize) {
        FailWith(codes::InvalidArg);
        return std::nullopt;
    }
    CmsPtr cms = NewGostEnvelope(recipients, cipher);
    if (!cms)
        return std::nullopt;
    // Makes the content key and sends it to each recipient; the chain's cipher
    // is then ready to encrypt. Its memory sink stays unused: the encrypted
    // content goes straight into the caller's buffer instead of a growing copy.
    BioPtr chain(CMS_dataInit(cms.get(), nullptr));
    BIO* cipherBio = chain ? BIO_find_type(chain.get(), BIO_TYPE_CIPHER) : nullptr;
    EVP_CIPHER_CTX* cipherContext = nullptr;
    if (!cipherBio || BIO_get_cipher_ctx(cipherBio, &cipherContext) != 1 || !cipherContext) {
        FailFromOpenSsl(codes::MsgError);
        return std::nullopt;
    }
    // Encoded with the plain content in its place, which fixes every length.
    OutgoingMessage message(std::move(cms));
    if (!message.carry(content))
        return std::nullopt;
    message.encryptCarriedWith(std::move(chain), cipherContext);
    return message;
}

} // namespace ordalis
