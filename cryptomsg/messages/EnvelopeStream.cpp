#include "cryptomsg/messages/EnvelopeStream.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/BerParts.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace ordalis {

namespace {

// What one step of decryption reads and writes: large enough for the
// primitive's speed, small enough that memory does not depend on the file.
constexpr std::size_t kChunk = std::size_t{1} << 20;
// The envelope's parts other than its content (version, certificates and
// CRLs of the originator, recipient entries, algorithms) are held whole.
constexpr std::size_t kPartLimit = std::size_t{16} << 20;
// Segments of segments of the content: BER allows them, nobody nests them deeply.
constexpr int kMaxSegmentDepth = 8;

// The envelope's parts, as encoded, that come before its content.
struct HeaderParts {
    std::vector<unsigned char> contentType;
    std::vector<std::vector<unsigned char>> fields; // version, originator info, recipient entries
    std::vector<unsigned char> encryptedType;
    std::vector<unsigned char> algorithm;
};

// Reads up to the header of the encrypted content, which it returns.
std::optional<BerHeader> ReadHeaderParts(BerInput& in, HeaderParts& parts)
{
    if (!EnterConstructed(in, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) || !ReadPart(in, parts.contentType, kPartLimit) ||
        !IsContentType(parts.contentType, NID_pkcs7_enveloped) || !EnterConstructed(in, 0, V_ASN1_CONTEXT_SPECIFIC) ||
        !EnterConstructed(in, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL))
        return std::nullopt;
    std::optional<BerHeader> header;
    // The fields before the EncryptedContentInfo, the only SEQUENCE among them.
    while ((header = in.readHeader()) && !header->is(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, true)) {
        std::optional<std::vector<unsigned char>> field = in.readElementAfter(*header, kPartLimit);
        if (!field || parts.fields.size() == 3) {
            FailWith(codes::Asn1Corrupt);
            return std::nullopt;
        }
        parts.fields.push_back(std::move(*field));
    }
    if (!header)
        return std::nullopt;
    in.enter(*header);
    if (!ReadPart(in, parts.encryptedType, kPartLimit) || !ReadPart(in, parts.algorithm, kPartLimit))
        return std::nullopt;
    if (in.atEndOfElement()) {
        FailWith(codes::MsgError); // no content: nothing to decrypt
        return std::nullopt;
    }
    header = in.readHeader();
    if (header && (header->tag != 0 || header->xclass != V_ASN1_CONTEXT_SPECIFIC)) {
        FailWith(codes::Asn1Corrupt);
        return std::nullopt;
    }
    return header;
}

void PutIndefinite(std::vector<unsigned char>& out, int tag, int xclass)
{
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(ASN1_object_size(2, 0, tag)));
    unsigned char* p = out.data() + at;
    ASN1_put_object(&p, 2, 0, tag, xclass);
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void PutEnd(std::vector<unsigned char>& out, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::size_t at = out.size();
        out.resize(at + 2);
        unsigned char* p = out.data() + at;
        ASN1_put_eoc(&p);
    }
}

void Append(std::vector<unsigned char>& out, const std::vector<unsigned char>& part)
{
    out.insert(out.end(), part.begin(), part.end());
}

// The envelope without its content, framed with indefinite lengths around the
// parts as they were read, decoded by OpenSSL. Null with the last error set.
CmsPtr DecodeHeader(const HeaderParts& parts)
{
    std::vector<unsigned char> der;
    PutIndefinite(der, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    Append(der, parts.contentType);
    PutIndefinite(der, 0, V_ASN1_CONTEXT_SPECIFIC);
    PutIndefinite(der, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    for (const std::vector<unsigned char>& field : parts.fields)
        Append(der, field);
    PutIndefinite(der, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    Append(der, parts.encryptedType);
    Append(der, parts.algorithm);
    PutEnd(der, 4);
    const unsigned char* p = der.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    if (!cms || p != der.data() + der.size()) {
        FailFromOpenSsl(codes::Asn1Corrupt);
        return nullptr;
    }
    return cms;
}

// Buffers that held plaintext are wiped however decryption ends.
struct WipeOnExit {
    std::vector<unsigned char>& bytes;
    ~WipeOnExit() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

} // namespace

EnvelopeStream::EnvelopeStream(BerInput input, BerHeader content, Envelope envelope)
    : m_input(std::move(input)), m_content(std::move(content)), m_envelope(std::move(envelope))
{
}

std::optional<EnvelopeStream> EnvelopeStream::Open(ByteStream& in)
{
    BerInput input(in);
    if (input.total() == 0) {
        FailWith(codes::Asn1Eod);
        return std::nullopt;
    }
    HeaderParts parts;
    std::optional<BerHeader> content = ReadHeaderParts(input, parts);
    CmsPtr header = content ? DecodeHeader(parts) : nullptr;
    std::optional<Envelope> envelope = header ? Envelope::FromHeader(std::move(header)) : std::nullopt;
    if (!envelope)
        return std::nullopt;
    return EnvelopeStream(std::move(input), std::move(*content), std::move(*envelope));
}

bool EnvelopeStream::decryptTo(X509* recipient, EVP_PKEY* key, ByteStream& out, const StreamProgress& progress)
{
    BioPtr chain = m_envelope.openContentCipher(recipient, key);
    if (!chain)
        return false;
    BIO* cipherBio = BIO_find_type(chain.get(), BIO_TYPE_CIPHER);
    EVP_CIPHER_CTX* cipher = nullptr;
    if (!cipherBio || BIO_get_cipher_ctx(cipherBio, &cipher) != 1 || !cipher)
        return FailFromOpenSsl(codes::BadData);
    m_encrypted.resize(kChunk);
    m_plain.resize(kChunk + EVP_MAX_BLOCK_LENGTH);
    const WipeOnExit wipe{m_plain};
    if (!decryptContent(cipher, out, progress) || !readToEnd())
        return false;
    int last = 0;
    // A padded cipher checks its padding here: a wrong key or damaged content fails.
    if (EVP_CipherFinal_ex(cipher, m_plain.data(), &last) != 1)
        return FailFromOpenSsl(codes::BadData);
    out.write(m_plain.data(), static_cast<std::size_t>(last));
    return true;
}

bool EnvelopeStream::decryptContent(EVP_CIPHER_CTX* cipher, ByteStream& out, const StreamProgress& progress)
{
    if (!m_content.constructed)
        return decryptOctets(cipher, m_content.length, out, progress);
    m_input.enter(m_content);
    return decryptSegments(cipher, out, progress, 0);
}

bool EnvelopeStream::decryptSegments(EVP_CIPHER_CTX* cipher, ByteStream& out, const StreamProgress& progress, int depth)
{
    while (!m_input.atEndOfElement()) {
        const std::optional<BerHeader> segment = m_input.readHeader();
        if (!segment)
            return false;
        if (segment->tag != V_ASN1_OCTET_STRING || segment->xclass != V_ASN1_UNIVERSAL)
            return FailWith(codes::Asn1Corrupt);
        if (!segment->constructed) {
            if (!decryptOctets(cipher, segment->length, out, progress))
                return false;
            continue;
        }
        if (depth == kMaxSegmentDepth)
            return FailWith(codes::Asn1Corrupt);
        m_input.enter(*segment);
        if (!decryptSegments(cipher, out, progress, depth + 1))
            return false;
    }
    return m_input.leave();
}

bool EnvelopeStream::decryptOctets(EVP_CIPHER_CTX* cipher, std::uint64_t length, ByteStream& out,
                                   const StreamProgress& progress)
{
    while (length > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunk));
        if (!m_input.readContent({m_encrypted.data(), n}))
            return false;
        int written = 0;
        if (EVP_CipherUpdate(cipher, m_plain.data(), &written, m_encrypted.data(), static_cast<int>(n)) != 1)
            return FailFromOpenSsl(codes::BadData);
        out.write(m_plain.data(), static_cast<std::size_t>(written));
        length -= n;
        if (progress)
            progress(m_input.offset(), m_input.total());
    }
    return true;
}

// After the content: the end of the EncryptedContentInfo, unprotected
// attributes if any (not used), the ends of the EnvelopedData and the
// ContentInfo, and then nothing: bytes after the message belong to no message.
bool EnvelopeStream::readToEnd()
{
    if (!m_input.leave())
        return false;
    if (!m_input.atEndOfElement()) {
        const std::optional<BerHeader> attributes = m_input.readHeader();
        if (!attributes || !attributes->is(1, V_ASN1_CONTEXT_SPECIFIC, true) ||
            !m_input.readElementAfter(*attributes, kPartLimit))
            return FailWith(codes::Asn1Corrupt);
    }
    if (!m_input.leave() || !m_input.leave() || !m_input.leave())
        return false;
    return m_input.atEndOfStream() || FailWith(codes::Asn1Corrupt);
}

} // namespace ordalis
