#pragma once

// A message made by the core, ready to be written as DER into a buffer of the
// caller's: its length is known before anything is written, and the content it
// carries is the caller's bytes rather than a copy.

#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/MessageSupport.h"

#include <optional>
#include <span>

namespace ordalis {

using ByteView = std::span<const unsigned char>;

class OutgoingMessage {
public:
    explicit OutgoingMessage(CmsPtr cms);
    OutgoingMessage(OutgoingMessage&&) = default;
    // Assigning would free the old message while its borrowed content still pointed into it.
    OutgoingMessage& operator=(OutgoingMessage&&) = delete;

    CMS_ContentInfo* cms() const { return m_cms.get(); }

    // Makes the message carry content, without copying it: the bytes must
    // outlive the message. False with the last error set.
    bool carry(ByteView content);

    // Makes the carried content go out encrypted by cipher, which the chain
    // owns and which must keep its length: the encoding is written with the
    // plain content, then that part is encrypted in place.
    void encryptCarriedWith(BioPtr chain, EVP_CIPHER_CTX* cipher);

    // The DER length, or -1 with the last error set.
    long encodedLength() const;

    // Writes the DER into out and returns its length, or -1 with the last
    // error set (ERROR_MORE_DATA when out is shorter than encodedLength()).
    // An encrypted message is written once: its cipher runs on.
    long encodeInto(std::span<unsigned char> out);

    // The DER in a new buffer, or nothing with the last error set.
    std::optional<ByteBuffer> toDer();

private:
    bool encryptCarriedInto(unsigned char* place);

    CmsPtr m_cms;
    BorrowedContent m_carried; // after m_cms: given back before the message is freed
    ByteView m_content;
    BioPtr m_cipherChain;
    EVP_CIPHER_CTX* m_cipher = nullptr; // owned by m_cipherChain
};

} // namespace ordalis
