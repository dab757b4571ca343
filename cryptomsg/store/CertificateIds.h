#pragma once

#include <openssl/x509.h>

#include <string>

namespace ordalis {

// The serial number in hex as `openssl x509 -serial` prints it.
std::string CertificateSerialHex(const X509* certificate);
std::string SerialNumberHex(const ASN1_INTEGER* serial);

// The SHA-1 thumbprint of the DER certificate, upper-case hex.
std::string CertificateThumbprint(const X509* certificate);

// The SHA-1 of the DER CRL, upper-case hex: the name of its file in a store.
std::string CrlThumbprint(X509_CRL* crl);

} // namespace ordalis
