#pragma once

#include "cryptomsg/cryptoapi/Ossl.h"

#include <string>

namespace ordalis {

enum class KeyAlgorithm { Gost2001, Gost2012_256, Gost2012_512, Rsa2048 };

struct KeyAndCertificate {
    EvpPkeyPtr key;
    X509Ptr certificate;
};

// Parses "gost2001", "gost2012_256", "gost2012_512"; false for anything else.
bool ParseKeyAlgorithm(const std::string& name, KeyAlgorithm& algorithm);

struct CertificateRequest {
    KeyAlgorithm algorithm = KeyAlgorithm::Gost2012_256;
    std::string subject = "CN=Test"; // "CN=…,O=…", UTF-8
    long notBeforeOffsetSeconds = 0; // relative to now
    long validDays = 365;
    std::string serialHex; // random 16 bytes when empty
};

// Makes a new key pair and a self-signed certificate for it. Throws Error on failure.
KeyAndCertificate MakeSelfSignedCertificate(const CertificateRequest& request);

} // namespace ordalis
