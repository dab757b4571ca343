#pragma once

// The native core of the message functions: PKCS #7 (CMS) signing,
// verification, encryption and decryption over OpenSSL's own objects and byte
// spans. The Crypt*Message functions (MessageApi.h) are thin adapters over it.
// A failure returns null or nothing and sets the thread's last-error code
// (common/LastError.h), leaving nothing in OpenSSL's error queue.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/ContentFeed.h"
#include "cryptomsg/messages/OriginatorName.h"
#include "cryptomsg/messages/OutgoingMessage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace ordalis {

// Content given in parts, taken in order as one content.
using ContentView = std::span<const ByteView>;

// Which signed attributes a signer gets.
enum class SignatureForm {
    // None: the signature covers the content's digest alone.
    NoAttributes,
    // CAdES-BES: content type, message digest, signing time and the ESS
    // signing-certificate-v2 reference (hash of the signer's certificate with the
    // signer's digest, its issuer and serial number).
    CadesBes,
};

struct SignatureOptions {
    // The digest to sign with; null takes the one of the signer's GOST key algorithm.
    const EVP_MD* digest = nullptr;
    // The certificates the message carries, in this order; the signer's is carried only when listed.
    std::span<X509* const> certificates;
    SignatureForm form = SignatureForm::NoAttributes;
};

// A SignedData with one signer, named by issuer and serial number, over the
// content with the signed attributes of options.form; the content is not carried (OutgoingMessage::carry
// makes it an attached one). The key must be the signer certificate's.
std::optional<OutgoingMessage> SignDetached(X509* signer, EVP_PKEY* key, ContentView content,
                                            const SignatureOptions& options);

// The same over content fed a chunk at a time, of any length.
std::optional<OutgoingMessage> SignDetachedFed(X509* signer, EVP_PKEY* key, const ContentFeed& content,
                                               const SignatureOptions& options);

// The same message carrying the content it signs (which it borrows).
std::optional<OutgoingMessage> SignAttached(X509* signer, EVP_PKEY* key, ByteView content,
                                            const SignatureOptions& options);

// Adds a signer, with the signed attributes of options.form (at least content
// type, message digest and signing time: a signer without them could only be
// made by re-signing every signer there), to an existing SignedData over
// content. Every signer already there must hold over content; they, the
// certificates, the digest algorithms and a carried content are kept as they
// are, and the signer's certificate is added when the message lacks it. When
// a signer does not hold, nothing is made, the last error says why and *invalidSigner (when
// given) is its index.
std::optional<OutgoingMessage> AddSigner(ByteView signature, ContentView content, X509* signer, EVP_PKEY* key,
                                         const SignatureOptions& options, std::size_t* invalidSigner = nullptr);

struct SignatureCheck {
    X509Ptr signer;               // the signer's certificate as the message carries it, when found
    std::vector<X509Ptr> carried; // every certificate the message carries, the signer's among them
    std::uint32_t status = 0;     // 0 when the signature holds over the content, else why not (also the last error)
    bool valid() const { return status == 0; }
};

// Checks the signer at signerIndex (in the message's order) of a SignedData
// over content given apart from it, with the signer's certificate from the
// message itself; no chain is built. A message that carries content as well is
// checked only when that content is the given one.
SignatureCheck VerifyDetached(ByteView signature, ContentView content, std::size_t signerIndex = 0);

// An EnvelopedData of content for each recipient (GOST key transport). The
// cipher must keep the content's length; null takes the one of the first
// recipient's GOST key algorithm. The content is borrowed, and encrypted as the
// message is written (once).
std::optional<OutgoingMessage> EncryptFor(std::span<X509* const> recipients, ByteView content,
                                          const EVP_CIPHER* cipher = nullptr);

// An EnvelopedData with a recipient entry for each certificate, its content
// key not made yet (CMS_PARTIAL); the cipher as for EncryptFor. Null with the last error set.
CmsPtr NewGostEnvelope(std::span<X509* const> recipients, const EVP_CIPHER* cipher = nullptr);

// A decoded EnvelopedData, checked so that its content cipher can be keyed
// safely, waiting for one of its recipients to open it.
class Envelope {
public:
    // Decodes exactly one EnvelopedData from der, which must outlive the envelope.
    static std::optional<Envelope> Decode(ByteView der);

    // An EnvelopedData without its encrypted content, which is read apart
    // (EnvelopeStream): it can only key the content cipher.
    static std::optional<Envelope> FromHeader(CmsPtr header);

    Envelope(Envelope&&) = default;
    Envelope& operator=(Envelope&&) = delete; // see OutgoingMessage

    // The decrypted content is never longer than this.
    std::size_t contentSizeBound() const;

    // Where the sender's certificate that key agreement needs is looked for,
    // in order, when the message does not carry it (a sender named by issuer
    // and serial number or key identifier).
    void lookForSendersAmong(std::vector<X509Ptr> certificates);

    // Whether a recipient entry is addressed to the certificate and can be
    // opened with its key. Opens nothing, so no key is needed yet.
    bool isAddressedTo(X509* certificate) const;

    // How the envelope names the sender whose certificate a key-agreement entry
    // addressed to the certificate needs and that was found nowhere; nothing
    // when no such certificate is missing.
    std::optional<OriginatorName> missingSenderFor(X509* certificate) const;

    // Decrypts the content into out (at least contentSizeBound() bytes) with
    // the recipient's key and returns its length; nothing with the last error
    // set, and what was written wiped, when the key does not open it.
    std::optional<std::size_t> decryptInto(X509* recipient, EVP_PKEY* key, std::span<unsigned char> out);

    // The same into a new buffer.
    std::optional<ByteBuffer> decrypt(X509* recipient, EVP_PKEY* key);

    // Recovers the content key with the recipient's key and returns the chain
    // whose cipher context it keyed for decryption; null with the last error set.
    BioPtr openContentCipher(X509* recipient, EVP_PKEY* key);

private:
    Envelope(CmsPtr cms, ByteView der);

    std::span<X509* const> sendersAtHand() const { return m_sendersAtHand; }

    CmsPtr m_cms;
    BorrowedContent m_borrowed; // after m_cms: given back before the message is freed
    ByteView m_der;
    std::vector<X509Ptr> m_senders;
    std::vector<X509*> m_sendersAtHand; // borrowed from m_senders, as OpenSSL's calls take them
};

// The private key of a recipient's certificate, or null with the last error set.
using RecipientKeyLookup = std::function<EvpPkeyPtr(X509* recipient)>;

// Decrypts an EnvelopedData for the first of the candidates it is addressed
// to; only that candidate's key is looked up (which may ask for its password).
std::optional<ByteBuffer> Decrypt(ByteView envelope, std::span<X509* const> candidates,
                                  const RecipientKeyLookup& keyOf);

} // namespace ordalis
