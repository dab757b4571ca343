#pragma once

// Raising every signer of an existing CAdES signature to a long-term level,
// keeping the bytes each signer already signed.

#include "cryptomsg/messages/LongTermRequest.h"

#include <span>
#include <vector>

namespace ordalis {

// The DER of the SignedData in der with every signer raised as request asks.
// Every signer must be CAdES (signed attributes) and its signature over them
// must hold with its certificate from the message; the result is checked to
// keep every signer's signed attributes as they were. Throws Error (or
// ServiceError) and then makes nothing.
std::vector<unsigned char> RaiseSignature(std::span<const unsigned char> der, const LongTermRequest& request);

} // namespace ordalis
