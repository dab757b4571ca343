#pragma once

// CryptDecryptMessage for an envelope read from a stream and a content written
// to one, in memory that does not grow with the envelope.

#include "common/ByteStream.h"
#include "cryptomsg/messages/EnvelopeStream.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/OriginatorName.h"

#include <optional>

namespace ordalis {

// Decrypts the EnvelopedData read from in into out with the first certificate
// of para's stores that has a private key and is one of its recipients; its
// key is acquired only then. False with the last error set, out then to be
// discarded; missingSender then names the sender's certificate that key
// agreement needed and nobody had, when that is why no certificate was found.
bool DecryptMessageStream(const CRYPT_DECRYPT_MESSAGE_PARA& para, ByteStream& in, ByteStream& out,
                          const StreamProgress& progress, std::optional<OriginatorName>& missingSender);

} // namespace ordalis
