#pragma once

#include <span>
#include <string>

namespace ordalis {

// Writes a private key and its certificate as "<base>.key" and "<base>.crt".
// Either both are written or, when the certificate cannot be (a full disk), a
// key file this call created is removed again, so no key is left without the
// certificate that finds it. Throws Error as WriteStoreFile does.
void WriteKeyAndCertificate(const std::string& base, std::span<const unsigned char> key,
                            std::span<const unsigned char> certificate);

} // namespace ordalis
