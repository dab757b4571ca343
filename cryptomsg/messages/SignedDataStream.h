#pragma once

// A SignedData written as its content is read, through OpenSSL's streaming
// BIO chain, so that the content's size does not matter.

#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/StreamBios.h"

namespace ordalis {

// Signs everything the open file inFd holds, from its position, as
// SignAttached does (one signer, the certificates and signed attributes of
// options), and writes the message carrying it to outFd as it goes: BER, with
// indefinite lengths and the content in segments. False with the last error
// set, or failure saying which file failed; what was written must then be discarded.
bool SignAttachedStream(X509* signer, EVP_PKEY* key, const SignatureOptions& options, int inFd, int outFd,
                        const StreamProgress& progress, TransferFailure& failure);

} // namespace ordalis
