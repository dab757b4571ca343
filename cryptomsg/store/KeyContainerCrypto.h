#pragma once

// The key container's own composition of GOST primitives: how the key that
// encrypts the stored key comes from the PIN, how the stored key is encrypted
// and masked, and the check values the container keeps. Every primitive is
// OpenSSL's or the GOST engine's; only the way they are put together is here.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/KeyContainerFormat.h"

#include <memory>
#include <span>
#include <string>

namespace ordalis {

// Containers of GOST R 34.10-2001 keys hash with GOST R 34.11-94 and encrypt
// with the CryptoPro-A S-box; those of GOST R 34.10-2012 keys with Streebog-256
// and the TC26-Z S-box.
enum class KeyContainerScheme { Gost2001, Gost2012 };

// The salt masks.key carries for the PIN key derivation.
inline constexpr std::size_t kContainerSaltSize = 12;
// The first bytes of the public key's X coordinate that header.key keeps.
inline constexpr std::size_t kContainerFingerprintSize = 8;

// The elliptic curve of a container's key, for the arithmetic on its scalar.
class ContainerCurve {
public:
    // The curve of a parameter set for keys of keyNid; null when the engine has none such.
    static std::unique_ptr<ContainerCurve> ForParameterSet(int keyNid, const std::string& curveOid);
    ~ContainerCurve();
    ContainerCurve(const ContainerCurve&) = delete;
    ContainerCurve& operator=(const ContainerCurve&) = delete;

    // Little-endian byte length of a scalar: 32 or 64.
    std::size_t scalarSize() const { return m_scalarSize; }

    // d = primary / mask mod q: the private key, little-endian; empty when either is not a usable scalar.
    SecureBytes unmask(std::span<const unsigned char> primary, std::span<const unsigned char> mask) const;
    // primary = d * mask mod q, the inverse of unmask.
    SecureBytes mask(std::span<const unsigned char> key, std::span<const unsigned char> mask) const;
    // A fresh random mask in [1, q-1], little-endian.
    SecureBytes newMask() const;
    // The first bytes of X of d*G, little-endian, as header.key keeps them; empty on failure.
    Bytes fingerprint(std::span<const unsigned char> key) const;

private:
    ContainerCurve(EvpPkeyPtr parameters, std::size_t scalarSize);
    EvpPkeyPtr m_parameters;
    std::size_t m_scalarSize;
};

// The 256-bit key that primary.key is encrypted with, from the PIN and masks.key's salt.
SecureBytes DeriveContainerKey(KeyContainerScheme scheme, std::span<const unsigned char> salt, const std::string& pin);

// primary.key's cipher: GOST 28147-89 in ECB mode, block by block. Empty on failure.
SecureBytes ContainerKeyCipher(KeyContainerScheme scheme, std::span<const unsigned char> key,
                               std::span<const unsigned char> data, bool encrypt);

// The check values are GOST 28147-89 MACs (4 bytes), with the scheme's S-box
// and without key meshing. Empty on failure.

// masks.key's: of the salt, keyed with the mask.
Bytes MasksCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> mask,
                      std::span<const unsigned char> salt);

// header.key's: of its content's DER, keyed with zeros.
Bytes ContentCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> content);

// The PIN's, kept in header.key: of two zero blocks, keyed with the key derived
// from the PIN and the public-key fingerprint as salt.
Bytes PinCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> fingerprint, const std::string& pin);

} // namespace ordalis
