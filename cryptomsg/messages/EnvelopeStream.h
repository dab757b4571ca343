#pragma once

// An EnvelopedData decrypted as it is read from a stream, so that its size
// does not matter: the outer structure is walked with OpenSSL's BER decoder,
// the recipient entries and algorithms are decoded by OpenSSL, and the content
// octets (definite or indefinite length, primitive or in segments) go through
// the content cipher a chunk at a time.

#include "common/ByteStream.h"
#include "cryptomsg/messages/BerInput.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/StreamBios.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ordalis {

class EnvelopeStream {
public:
    // Reads the envelope from in up to its encrypted content; nothing, with
    // the last error set, when in does not start with an EnvelopedData.
    static std::optional<EnvelopeStream> Open(ByteStream& in);

    EnvelopeStream(EnvelopeStream&&) = default;

    // Recipients and senders are asked and looked for as for a whole envelope.
    Envelope& envelope() { return m_envelope; }
    const Envelope& envelope() const { return m_envelope; }

    // Decrypts the content into out with the recipient's key, then reads the
    // rest of the envelope. True only when the envelope was well-formed to its
    // last byte, nothing followed it and the cipher finished; out then holds
    // the whole content. On false out holds a part at most: it must be discarded.
    bool decryptTo(X509* recipient, EVP_PKEY* key, ByteStream& out, const StreamProgress& progress);

private:
    EnvelopeStream(BerInput input, BerHeader content, Envelope envelope);

    bool decryptContent(EVP_CIPHER_CTX* cipher, ByteStream& out, const StreamProgress& progress);
    bool decryptSegments(EVP_CIPHER_CTX* cipher, ByteStream& out, const StreamProgress& progress, int depth);
    bool decryptOctets(EVP_CIPHER_CTX* cipher, std::uint64_t length, ByteStream& out, const StreamProgress& progress);
    bool readToEnd();

    BerInput m_input;
    BerHeader m_content; // the header of the encrypted content, just read
    Envelope m_envelope;
    std::vector<unsigned char> m_encrypted; // one chunk read
    std::vector<unsigned char> m_plain;     // and decrypted
};

} // namespace ordalis
