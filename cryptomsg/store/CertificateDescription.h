#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"

#include <openssl/asn1.h>

#include <string>
#include <utility>
#include <vector>

namespace ordalis {

// A certificate described in words, for the certificate dialogs and listings.
struct CertificateDescription {
    std::string issuedTo;     // the subject's common name (or its whole name when it has none)
    std::string issuedBy;     // the issuer's common name (likewise)
    std::string organisation; // the subject's organisation (O), or empty
    std::string subject;      // whole names, one line, most significant RDN first
    std::string issuer;
    std::string validFrom; // "dd.MM.yyyy HH:mm:ss UTC"
    std::string validTo;
    std::string version;            // "V3"
    std::string serialHex;          // as `openssl x509 -serial` prints it
    std::string sha1Thumbprint;     // upper-case hex
    std::string signatureAlgorithm; // name and OID
    std::string keyAlgorithm;       // short name for lists, e.g. "ГОСТ Р 34.10-2012 256 бит"
    std::string publicKeyAlgorithm; // name and OID
    std::string publicKeyParameters;
    std::vector<std::pair<std::string, std::string>> extensions; // name, value text
    bool hasPrivateKey = false; // the store holds its key (not opened, so no password is asked)
};

CertificateDescription DescribeCertificate(PCCERT_CONTEXT certificate);

// A certificate or CRL time as the descriptions write it ("dd.MM.yyyy HH:mm:ss UTC"); empty for none.
std::string AsnTimeText(const ASN1_TIME* time);

// Whether the certificate's store holds a private key for it; no password is asked.
bool CertHasPrivateKey(PCCERT_CONTEXT certificate);

} // namespace ordalis
