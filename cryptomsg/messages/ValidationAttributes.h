#pragma once

// The values of the attributes that carry a signature's validation data
// (complete-certificate-references, complete-revocation-references,
// certificate-values, revocation-values), encoded and decoded by OpenSSL's
// ASN.1 templates.

#include "cryptomsg/messages/LongTermOssl.h"

#include <openssl/ocsp.h>

#include <span>
#include <vector>

namespace ordalis {

// The revocation answers used for one certificate of a path.
struct RevocationRefSource {
    std::vector<X509_CRL*> crls;
    std::vector<OCSP_BASICRESP*> ocsp;
};

// CompleteCertificateRefs: one OtherCertID (md hash of the certificate, its
// issuer and serial number) per certificate. Throws Error.
std::vector<unsigned char> EncodeCertificateRefs(std::span<X509* const> certificates, const EVP_MD* md);

// CompleteRevocationRefs: one CrlOcspRef per certificate, naming by md hash
// the CRLs (with issuer, time and number) and OCSP answers (with responder and
// time) used for it. Throws Error.
std::vector<unsigned char> EncodeRevocationRefs(std::span<const RevocationRefSource> sources, const EVP_MD* md);

// CertificateValues: the certificates themselves. Throws Error.
std::vector<unsigned char> EncodeCertificateValues(std::span<X509* const> certificates);

// RevocationValues: the CRLs and basic OCSP answers themselves. Throws Error.
std::vector<unsigned char> EncodeRevocationValues(std::span<X509_CRL* const> crls,
                                                  std::span<OCSP_BASICRESP* const> ocsp);

// The certificates of a CertificateValues; empty when it does not decode.
std::vector<X509Ptr> DecodeCertificateValues(std::span<const unsigned char> der);

struct RevocationValues {
    std::vector<X509CrlPtr> crls;
    std::vector<OcspBasicPtr> ocsp;
};

// The answers of a RevocationValues; empty when it does not decode.
RevocationValues DecodeRevocationValues(std::span<const unsigned char> der);

} // namespace ordalis
