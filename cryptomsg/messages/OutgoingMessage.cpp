#include "cryptomsg/messages/OutgoingMessage.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

namespace ordalis {

OutgoingMessage::OutgoingMessage(CmsPtr cms) : m_cms(std::move(cms)) {}

bool OutgoingMessage::carry(ByteView content)
{
    if (!m_carried.attach(CMS_get0_content(m_cms.get()), content))
        return false;
    m_content = content;
    return true;
}

void OutgoingMessage::encryptCarriedWith(BioPtr chain, EVP_CIPHER_CTX* cipher)
{
    m_cipherChain = std::move(chain);
    m_cipher = cipher;
}

long OutgoingMessage::encodedLength() const { return EncodedLength(m_cms.get()); }

long OutgoingMessage::encodeInto(std::span<unsigned char> out)
{
    DWORD size = static_cast<DWORD>(std::min<std::size_t>(out.size(), 0xFFFFFFFFu));
    const long length = EncodeInto(m_cms.get(), out.data(), &size);
    if (length < 0 || !m_cipher)
        return length;
    // The carried content is the envelope's last element, so its octets end the encoding.
    unsigned char* content = out.data() + (length - static_cast<long>(m_content.size()));
    if ((!m_content.empty() && std::memcmp(content, m_content.data(), m_content.size()) != 0) ||
        !encryptCarriedInto(content)) {
        OPENSSL_cleanse(out.data(), static_cast<std::size_t>(length));
        FailFromOpenSsl(codes::MsgError);
        return -1;
    }
    return length;
}

std::optional<ByteBuffer> OutgoingMessage::toDer()
{
    const long length = encodedLength();
    if (length < 0)
        return std::nullopt;
    ByteBuffer der;
    der.setSize(length);
    if (encodeInto({der.data(), der.length()}) != length)
        return std::nullopt;
    return der;
}

// Encrypts the caller's content into its place in the encoding.
bool OutgoingMessage::encryptCarriedInto(unsigned char* place)
{
    constexpr std::size_t kPiece = std::size_t{1} << 24;
    const std::size_t size = m_content.size();
    for (std::size_t done = 0; done < size;) {
        const int n = static_cast<int>(std::min(size - done, kPiece));
        int written = 0;
        if (EVP_CipherUpdate(m_cipher, place + done, &written, m_content.data() + done, n) != 1 || written != n)
            return false;
        done += static_cast<std::size_t>(n);
    }
    unsigned char tail[EVP_MAX_BLOCK_LENGTH];
    int written = 0;
    return EVP_CipherFinal_ex(m_cipher, tail, &written) == 1 && written == 0;
}

} // namespace ordalis
