#pragma once

// What the CRLs at hand say about a certificate, at a given time.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <ctime>
#include <span>
#include <string>

namespace ordalis {

enum class RevocationState {
    Good,    // a CRL of the issuer's key, current at that time or later, does not revoke it before then
    Revoked, // such a CRL revokes it at or before that time
    Unknown, // no such CRL at hand
};

struct RevocationAnswer {
    RevocationState state = RevocationState::Unknown;
    std::string revokedOn;   // Revoked: when, "dd.MM.yyyy HH:mm:ss UTC"
    X509_CRL* crl = nullptr; // the CRL that decided (borrowed from those given)
};

// Whether issuer's key signed crl (the names agree and the signature holds).
bool CrlSignedBy(X509_CRL* crl, X509* issuer);

// The answer of the CRLs signed by issuer's key that were still current at
// when (their next update, if any, not before it) and were issued by now.
RevocationAnswer CrlAnswerAt(X509* certificate, X509* issuer, std::span<X509_CRL* const> crls, std::time_t when);

} // namespace ordalis
