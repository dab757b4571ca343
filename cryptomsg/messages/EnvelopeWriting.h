#pragma once

// An EnvelopedData written as its content is read, through OpenSSL's streaming
// BIO chain, so that the content's size does not matter.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/StreamBios.h"

#include <span>

namespace ordalis {

// Encrypts everything the open file inFd holds, from its position, for the
// recipients (as EncryptFor) and writes the envelope to outFd as it goes: BER,
// with indefinite lengths and the content in segments. False with the last
// error set, or failure saying which file failed; what was written must then be discarded.
bool EncryptStream(std::span<X509* const> recipients, int inFd, int outFd, const StreamProgress& progress,
                   TransferFailure& failure);

} // namespace ordalis
