#pragma once

// How an envelope meets the stores of a decryption: which certificate opens
// it, and where a sender's certificate that key agreement needs is looked for.

#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"

#include <optional>

namespace ordalis {

bool DecryptParaIsValid(const CRYPT_DECRYPT_MESSAGE_PARA& para);

// Makes the envelope look for a sender's certificate in every store of para.
void LookForSendersInStores(Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para);

// The first certificate with a private key, in store order, that the envelope is
// addressed to. No key is opened here, so no password is asked. Null with the last error set.
CertContextPtr FindDecryptor(const Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para);

// The sender's certificate that one of the stores' certificates with a private
// key would need and that is nowhere at hand; leaves the last error as it was.
std::optional<OriginatorName> MissingSenderInStores(const Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para);

} // namespace ordalis
