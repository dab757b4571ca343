#pragma once

// Every signer of a SignedData checked and described, for reports that say
// more than whether the first signer holds: who signed, what their signed
// attributes say, and why a signature fails, in a word a script can test.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/ContentFeed.h"
#include "cryptomsg/messages/OutgoingMessage.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

enum class SignatureFailure {
    None,
    NotASignature,              // the bytes are no SignedData
    NoSignerCertificate,        // neither the message nor the certificates at hand hold the signer's
    WrongSignatureValue,        // the signature value does not hold over what it signs
    ContentChanged,             // the signed attributes' digest is not the content's
    UnsupportedAlgorithm,       // a digest or key algorithm this program does not know
    SigningCertificateMismatch, // the signed signing-certificate reference names another certificate
    ContentTypeMismatch,        // the signed content type is not the message's
};

// The stable word for scripts ("not-a-signature", ...), and the reason in words (Russian).
const char* SignatureFailureCode(SignatureFailure failure);
std::string SignatureFailureText(SignatureFailure failure);

struct SignedAttributes {
    std::string contentType;    // its short name or OID
    bool digestMatched = false; // the message-digest attribute is the content's digest
    std::string signingTime;    // "dd.MM.yyyy HH:mm:ss UTC", empty when absent
    // Whether the ESS signing-certificate(-v2) reference names the signer's certificate; none without one.
    std::optional<bool> signingCertificateMatched;
};

struct SignerReport {
    std::size_t index = 0;                  // in the message's (DER) order
    X509Ptr certificate;                    // null when none was found
    std::string subject, issuer, serialHex; // of the certificate, or the signer's identifier
    SignatureFailure failure = SignatureFailure::None;
    std::optional<SignedAttributes> attributes; // when the signer has signed attributes
    bool valid() const { return failure == SignatureFailure::None; }
};

struct SignatureReport {
    SignatureFailure failure = SignatureFailure::None; // None or NotASignature; the rest is each signer's
    std::vector<SignerReport> signers;
    std::vector<X509Ptr> carried;                              // the certificates the message carries
    std::optional<std::vector<unsigned char>> embeddedContent; // the content an attached signature carries
    bool firstSignerValid() const
    {
        return failure == SignatureFailure::None && !signers.empty() && signers[0].valid();
    }
};

// Checks every signer of a SignedData over content, or over the content it
// carries when content is null. A message that carries content as well is
// checked only against the same bytes. Signers whose certificate the message
// lacks are looked for among others (matched by issuer and serial number or by
// subject key identifier).
SignatureReport ExamineSignature(ByteView der, const ByteView* content, std::span<X509* const> others = {});

// The same over detached content fed a chunk at a time, of any length. A
// message that carries content as well holds only when that is the content fed.
// A failed read of the content is thrown by the feed.
SignatureReport ExamineSignatureOver(ByteView der, const ContentFeed& content, std::span<X509* const> others = {});

// The same for a message whose content was digested as it was read (by each
// of its digest algorithms, the chain CMS_dataInit makes) and left out of it.
SignatureReport ExamineDigestedSignature(CMS_ContentInfo* cms, BIO* digests, std::span<X509* const> others = {});

} // namespace ordalis
