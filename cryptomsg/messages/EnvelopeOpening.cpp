// The core's decryption: an EnvelopedData opened by one of its recipients,
// the content decrypted straight into the caller's buffer.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/ContentCipherCheck.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageRecipient.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace ordalis {

namespace {

// Recovers the content key from the recipient's entry.
bool OpenContentKey(CMS_ContentInfo* cms, X509* recipient, EVP_PKEY* key, X509* originator)
{
    // Without CMS_DEBUG_DECRYPT a key that fails to open the entry is replaced by a
    // random one and decryption "succeeds" with garbage; with it, it fails.
    if (CMS_decrypt(cms, nullptr, nullptr, nullptr, nullptr, CMS_BINARY | CMS_DEBUG_DECRYPT) != 1 ||
        CMS_decrypt_set1_pkey_and_peer(cms, key, recipient, originator) != 1)
        return FailFromOpenSsl(codes::BadData);
    return true;
}

// The decoder copied the encrypted content out of the caller's bytes. When
// those bytes end with it (the content is the envelope's last element), the
// message is pointed back at them and the copy freed, so that a large message
// is held once while it is decrypted. Returns the bytes to decrypt.
ByteView ContentInCallerBytes(CMS_ContentInfo* cms, ByteView der, BorrowedContent& borrowed)
{
    ASN1_OCTET_STRING** slot = CMS_get0_content(cms);
    const ByteView parsed(ASN1_STRING_get0_data(*slot), static_cast<std::size_t>(ASN1_STRING_length(*slot)));
    if (parsed.size() > der.size())
        return parsed;
    const ByteView tail = der.last(parsed.size());
    if (!std::equal(tail.begin(), tail.end(), parsed.begin()) || !borrowed.attach(slot, tail))
        return parsed;
    return tail;
}

// Decrypts the content straight into out with the cipher that CMS keyed.
// Wipes what it wrote on failure.
// out has room for all of encrypted: decryption never gives more than it is given.
std::optional<std::size_t> DecryptInto(BIO* chain, ByteView encrypted, unsigned char* out)
{
    BIO* cipherBio = BIO_find_type(chain, BIO_TYPE_CIPHER);
    EVP_CIPHER_CTX* cipher = nullptr;
    if (!cipherBio || BIO_get_cipher_ctx(cipherBio, &cipher) != 1 || !cipher) {
        FailFromOpenSsl(codes::BadData);
        return std::nullopt;
    }
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
        FailFromOpenSsl(codes::BadData);
        return std::nullopt;
    }
    return done;
}

} // namespace

Envelope::Envelope(CmsPtr cms, ByteView der) : m_cms(std::move(cms)), m_der(der) {}

std::optional<Envelope> Envelope::Decode(ByteView der)
{
    if (!EnsureGostEngine())
        return std::nullopt;
    CmsPtr cms = DecodeMessage(der, NID_pkcs7_enveloped);
    if (!cms || !ContentCipherParametersAreSound(cms.get()))
        return std::nullopt;
    ASN1_OCTET_STRING** content = CMS_get0_content(cms.get());
    if (!content || !*content) {
        FailWith(codes::MsgError);
        return std::nullopt;
    }
    return Envelope(std::move(cms), der);
}

std::optional<Envelope> Envelope::FromHeader(CmsPtr header)
{
    if (!EnsureGostEngine())
        return std::nullopt;
    if (!header || OBJ_obj2nid(CMS_get0_type(header.get())) != NID_pkcs7_enveloped) {
        FailWith(codes::UnexpectedMsgType);
        return std::nullopt;
    }
    if (!ContentCipherParametersAreSound(header.get()))
        return std::nullopt;
    // OpenSSL keys the cipher only for an envelope that has content: an empty
    // one (with bytes to point at, which a memory BIO needs) stands in for the
    // content read apart.
    ASN1_OCTET_STRING** content = CMS_get0_content(header.get());
    if (!content || (!*content && !(*content = ASN1_OCTET_STRING_new())) || ASN1_STRING_set(*content, "", 0) != 1) {
        FailFromOpenSsl(codes::MsgError);
        return std::nullopt;
    }
    return Envelope(std::move(header), {});
}

std::size_t Envelope::contentSizeBound() const
{
    // A stream or block cipher never gives more than it is given.
    return static_cast<std::size_t>(ASN1_STRING_length(*CMS_get0_content(m_cms.get())));
}

void Envelope::lookForSendersAmong(std::vector<X509Ptr> certificates)
{
    m_senders = std::move(certificates);
    m_sendersAtHand.clear();
    for (const X509Ptr& certificate : m_senders)
        m_sendersAtHand.push_back(certificate.get());
}

bool Envelope::isAddressedTo(X509* certificate) const
{
    RecipientMatch match;
    return certificate && FindRecipientFor(m_cms.get(), certificate, sendersAtHand(), match);
}

std::optional<OriginatorName> Envelope::missingSenderFor(X509* certificate) const
{
    RecipientMatch match;
    if (certificate)
        FindRecipientFor(m_cms.get(), certificate, sendersAtHand(), match);
    return match.missingOriginator;
}

BioPtr Envelope::openContentCipher(X509* recipient, EVP_PKEY* key)
{
    RecipientMatch match;
    if (!recipient || !key) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    if (!FindRecipientFor(m_cms.get(), recipient, sendersAtHand(), match)) {
        FailWith(codes::NoDecryptCert);
        return nullptr;
    }
    if (!OpenContentKey(m_cms.get(), recipient, key, match.originator.get()))
        return nullptr;
    // Keys the content cipher; the chain's own reading is not used.
    BioPtr chain(CMS_dataInit(m_cms.get(), nullptr));
    if (!chain)
        FailFromOpenSsl(codes::BadData);
    return chain;
}

std::optional<std::size_t> Envelope::decryptInto(X509* recipient, EVP_PKEY* key, std::span<unsigned char> out)
{
    if (out.size() < contentSizeBound()) {
        FailWith(codes::InvalidArg);
        return std::nullopt;
    }
    const ByteView encrypted = ContentInCallerBytes(m_cms.get(), m_der, m_borrowed);
    BioPtr chain = openContentCipher(recipient, key);
    if (!chain)
        return std::nullopt;
    return DecryptInto(chain.get(), encrypted, out.data());
}

std::optional<ByteBuffer> Envelope::decrypt(X509* recipient, EVP_PKEY* key)
{
    ByteBuffer content;
    content.setSize(static_cast<std::int64_t>(contentSizeBound()));
    const std::optional<std::size_t> size = decryptInto(recipient, key, {content.data(), content.length()});
    if (!size)
        return std::nullopt;
    content.setSize(static_cast<std::int64_t>(*size));
    return content;
}

std::optional<ByteBuffer> Decrypt(ByteView envelope, std::span<X509* const> candidates, const RecipientKeyLookup& keyOf)
{
    std::optional<Envelope> opened = Envelope::Decode(envelope);
    if (!opened)
        return std::nullopt;
    const auto recipient = std::find_if(candidates.begin(), candidates.end(),
                                        [&opened](X509* candidate) { return opened->isAddressedTo(candidate); });
    if (recipient == candidates.end()) {
        FailWith(codes::NoDecryptCert);
        return std::nullopt;
    }
    EvpPkeyPtr key = keyOf(*recipient);
    if (!key)
        return std::nullopt;
    return opened->decrypt(*recipient, key.get());
}

} // namespace ordalis
