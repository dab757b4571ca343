#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/operations/DesktopSeam.h"

#include <span>
#include <string>

namespace ordalis {

// Encrypts the file for the recipients into "<file>.enc" as it is read, in
// memory that does not grow with it; the envelope appears only when complete.
// Returns its name; throws the error's text on failure.
std::string EncryptStreamed(std::span<const PCCERT_CONTEXT> recipients, const std::string& sourceName,
                            DesktopSeam& desktop);

} // namespace ordalis
