#pragma once

// Files of certificates and revocation lists as they are handed out: a
// certificate or CRL in DER or PEM, a PKCS#7 bundle (.p7b) in DER or PEM, or a
// PEM file holding several of these.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

struct CertificateBundle {
    std::vector<X509Ptr> certificates;
    std::vector<X509CrlPtr> crls;
};

// What the bytes hold; nothing when they are none of these forms, or a PEM
// block of one of these kinds does not decode.
std::optional<CertificateBundle> ReadCertificateBundle(std::span<const unsigned char> bytes);

// A whole DER CRL; null when the bytes are anything else.
X509CrlPtr DecodeCrl(std::span<const unsigned char> der);

// PEM text of a CRL.
std::string CrlPem(X509_CRL* crl);

} // namespace ordalis
