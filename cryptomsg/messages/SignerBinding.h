#pragma once

// Whether a signer's signed attributes are about the certificate that verified
// it and the content the message holds. A signature value proves only that
// someone with the key signed; the ESS signing-certificate reference binds it to
// one certificate, so that another certificate with the same key, issuer and
// serial number cannot stand in for it.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <optional>
#include <span>

namespace ordalis {

enum class BindingFault {
    None,
    SigningCertificateMismatch, // the signing-certificate(-v2) reference names another certificate
    ContentTypeMismatch,        // the content-type attribute is not the message's content type
};

// Whether the signer's ESS signing-certificate(-v2) reference names certificate
// (its first reference must, further ones are looked for among others); none
// when the signer has no such reference.
std::optional<bool> SigningCertificateMatches(CMS_SignerInfo* signer, X509* certificate,
                                              std::span<X509* const> others = {});

// The first disagreement of the signer's signed attributes with certificate and
// the message's content type; None for a signer without signed attributes.
BindingFault CheckSignerBinding(CMS_ContentInfo* cms, CMS_SignerInfo* signer, X509* certificate,
                                std::span<X509* const> others = {});

} // namespace ordalis
