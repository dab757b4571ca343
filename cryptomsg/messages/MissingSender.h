#pragma once

// Why CryptDecryptMessage could not open an envelope, when the reason is a
// sender's certificate that it cannot do without.

#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/OriginatorName.h"

#include <optional>

namespace ordalis {

// How the envelope names the sender's certificate that key agreement needs for
// one of the stores' certificates with a private key, when neither the message
// nor the stores hold it; nothing otherwise. Leaves the last error as it was.
std::optional<OriginatorName> MissingSenderCertificate(const CRYPT_DECRYPT_MESSAGE_PARA& para,
                                                       const BYTE* encryptedBlob, DWORD encryptedBlobSize);

} // namespace ordalis
