#pragma once

// Signatures of the forms the message function does not write (signed
// attributes), made by the message core with the certificate's acquired key.

#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/LongTermRequest.h"
#include "cryptomsg/messages/MessageCore.h"

#include <span>

namespace ordalis {

// A SignedData of content by the certificate, carrying the certificate and,
// when attached, the content, as DER in out, its signer raised as longTerm asks
// when given. False with the last error set; throws what raising the signer throws.
bool SignWithCore(PCCERT_CONTEXT certificate, EVP_PKEY* key, bool attached, std::span<const unsigned char> content,
                  SignatureForm form, ByteBuffer& out, const LongTermRequest* longTerm = nullptr);

} // namespace ordalis
