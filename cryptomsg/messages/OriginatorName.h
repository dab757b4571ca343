#pragma once

#include <string>

namespace ordalis {

// How a key-agreement entry names its originator (the sender): by the issuer
// and serial number of the sender's certificate, or by its subject key identifier.
struct OriginatorName {
    std::string issuer;    // "CN=..., O=...", when named by issuer and serial number
    std::string serialHex; // as `openssl x509 -serial` prints it
    std::string keyIdHex;  // upper-case hex, when named by key identifier
};

} // namespace ordalis
