#pragma once

// The files of a vendor CSP key container folder ("a1b2c3d4.000/"), decoded
// and encoded through OpenSSL's ASN.1 templates:
//   header.key   the key's parameters, its public-key fingerprint, the certificate
//   masks.key    the mask the stored key is multiplied by, the PIN salt, a check value
//   primary.key  the masked key, encrypted with the key derived from the PIN
//   name.key     the container's name
// primary2.key and masks2.key, when the header says so, are a reserve copy of
// the key under another mask and salt.

#include "cryptomsg/store/StoreFileFormats.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

using Bytes = std::vector<unsigned char>;

// Which key of the container the parameters describe and what it is.
struct KeyContainerKeyInfo {
    bool exchangeKey = false; // an exchange (AT_KEYEXCHANGE) key, else a signature key
    bool exportable = false;
    std::string algorithmOid; // as the header names it (a key or key-agreement OID)
    std::string curveOid;     // the parameter set
    std::string digestOid;    // may be empty
};

struct KeyContainerHeader {
    std::string containerAlgorithmOid; // empty when absent
    bool softPassword = false;         // protected by a PIN typed by the user
    bool reservePrimary = false;       // primary2.key / masks2.key hold a reserve copy
    KeyContainerKeyInfo primary;
    bool hasSecondaryKey = false;
    Bytes hmacPassword; // empty when absent
    Bytes certificate;  // DER, empty when the container holds none
    Bytes fingerprint;  // the first bytes of the public key's X, little-endian
    Bytes extensions;   // DER of the [12] field, kept as it is
    Bytes hmac;         // the check value of the content
};

struct KeyContainerMasks {
    SecureBytes mask; // little-endian
    Bytes salt;
    Bytes mac;
};

// Decoders: nothing when the bytes are not exactly one such structure.
std::optional<KeyContainerHeader> DecodeContainerHeader(std::span<const unsigned char> der);
std::optional<KeyContainerMasks> DecodeContainerMasks(std::span<const unsigned char> der);
std::optional<SecureBytes> DecodeContainerPrimary(std::span<const unsigned char> der);
std::optional<std::string> DecodeContainerName(std::span<const unsigned char> der);

// The DER of header.key's content, as its check value covers it; nothing when
// the bytes do not begin so.
std::optional<Bytes> ContainerContentDer(std::span<const unsigned char> header);

// Encoders: empty on failure.
Bytes EncodeContainerHeader(const KeyContainerHeader& header);
Bytes EncodeContainerMasks(const KeyContainerMasks& masks);
SecureBytes EncodeContainerPrimary(std::span<const unsigned char> encryptedKey);
Bytes EncodeContainerName(const std::string& name);

// GOST key parameters as certificates and PKCS#8 carry them: SEQUENCE { curve, digest OPTIONAL }.
Bytes EncodeGostKeyParameters(const std::string& curveOid, const std::string& digestOid);
bool DecodeGostKeyParameters(std::span<const unsigned char> der, std::string& curveOid, std::string& digestOid);

} // namespace ordalis
