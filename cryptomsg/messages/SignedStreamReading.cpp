#include "cryptomsg/messages/SignedStreamReading.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/BerFraming.h"
#include "cryptomsg/messages/BerInput.h"
#include "cryptomsg/messages/BerParts.h"
#include "cryptomsg/messages/ContentFeed.h"
#include "cryptomsg/messages/MessageSupport.h"

#include <algorithm>

namespace ordalis {

namespace {

// The message's parts other than its content (certificates, CRLs and signers
// included) are held whole.
constexpr std::size_t kPartLimit = std::size_t{64} << 20;
// Segments of segments of the content: BER allows them, nobody nests them deeply.
constexpr int kMaxSegmentDepth = 8;

// The parts of the message, as encoded, around its content.
struct SignedParts {
    std::vector<unsigned char> contentType, version, digestAlgorithms, eContentType;
    std::vector<std::vector<unsigned char>> after; // certificates, CRLs, signer infos
};

// Reads up to the encapsulated content's type, inside its EncapsulatedContentInfo.
bool ReadHead(BerInput& in, SignedParts& parts)
{
    return EnterConstructed(in, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) && ReadPart(in, parts.contentType, kPartLimit) &&
           IsContentType(parts.contentType, NID_pkcs7_signed) && EnterConstructed(in, 0, V_ASN1_CONTEXT_SPECIFIC) &&
           EnterConstructed(in, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) && ReadPart(in, parts.version, kPartLimit) &&
           ReadPart(in, parts.digestAlgorithms, kPartLimit) &&
           EnterConstructed(in, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL) && ReadPart(in, parts.eContentType, kPartLimit);
}

// The SignedData framed around the parts with indefinite lengths, its
// encapsulated content left out, followed by the given fields.
std::vector<unsigned char> Frame(const SignedParts& parts, const std::vector<std::vector<unsigned char>>& fields)
{
    BerFrame der;
    der.open(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    der.append(parts.contentType);
    der.open(0, V_ASN1_CONTEXT_SPECIFIC);
    der.open(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    der.append(parts.version);
    der.append(parts.digestAlgorithms);
    der.open(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
    der.append(parts.eContentType);
    der.close();
    for (const std::vector<unsigned char>& field : fields)
        der.append(field);
    der.closeAll();
    return der.take();
}

CmsPtr Decode(const std::vector<unsigned char>& der)
{
    const unsigned char* p = der.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    if (!cms || p != der.data() + der.size()) {
        FailFromOpenSsl(codes::Asn1Corrupt);
        return nullptr;
    }
    return cms;
}

// The digests of every algorithm the message lists, taken from a message of
// its head alone (no signers yet: they come after the content).
bool StartDigests(const SignedParts& parts, StreamedSignedData& read)
{
    read.digested = Decode(Frame(parts, {EmptySet()}));
    if (!read.digested)
        return false;
    BioPtr sink = NewNullBio();
    read.digests.reset(sink ? CMS_dataInit(read.digested.get(), sink.get()) : nullptr);
    if (!read.digests)
        return FailFromOpenSsl(codes::UnknownAlgo);
    sink.release(); // the chain owns it now
    return true;
}

class ContentReader {
public:
    ContentReader(BerInput& in, BIO* digests, ByteStream* out, const StreamProgress& progress)
        : m_in(in), m_digests(digests), m_out(out), m_progress(progress), m_chunk(kFeedChunk)
    {
    }

    // The content's OCTET STRING, whose header is read.
    bool read(const BerHeader& octets, int depth = 0)
    {
        if (!octets.is(V_ASN1_OCTET_STRING, V_ASN1_UNIVERSAL, octets.constructed))
            return FailWith(codes::Asn1Corrupt);
        if (!octets.constructed)
            return readOctets(octets.length);
        if (depth == kMaxSegmentDepth)
            return FailWith(codes::Asn1Corrupt);
        m_in.enter(octets);
        while (!m_in.atEndOfElement()) {
            const std::optional<BerHeader> segment = m_in.readHeader();
            if (!segment || !read(*segment, depth + 1))
                return false;
        }
        return m_in.leave();
    }

private:
    bool readOctets(std::uint64_t length)
    {
        while (length > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, m_chunk.size()));
            if (!m_in.readContent({m_chunk.data(), n}))
                return false;
            if (!WriteThrough(m_digests, {m_chunk.data(), n}))
                return FailFromOpenSsl(codes::MsgError);
            if (m_out)
                m_out->write(m_chunk.data(), n);
            length -= n;
            if (m_progress)
                m_progress(m_in.offset(), m_in.total());
        }
        return true;
    }

    BerInput& m_in;
    BIO* m_digests;
    ByteStream* m_out;
    const StreamProgress& m_progress;
    std::vector<unsigned char> m_chunk;
};

// The rest of the EncapsulatedContentInfo: its content, when it carries one.
bool ReadContent(BerInput& in, StreamedSignedData& read, ByteStream* out, const StreamProgress& progress)
{
    if (!in.atEndOfElement()) {
        if (!EnterConstructed(in, 0, V_ASN1_CONTEXT_SPECIFIC))
            return false;
        const std::optional<BerHeader> octets = in.readHeader();
        ContentReader reader(in, read.digests.get(), out, progress);
        if (!octets || !reader.read(*octets) || !in.leave())
            return false;
        read.carriesContent = true;
    }
    return in.leave();
}

// After the content: the certificates, CRLs and signers, the ends of the
// SignedData and the ContentInfo, and then nothing: bytes after the message
// belong to no message.
bool ReadTail(BerInput& in, SignedParts& parts)
{
    while (!in.atEndOfElement()) {
        if (parts.after.size() == 3)
            return FailWith(codes::Asn1Corrupt);
        parts.after.emplace_back();
        if (!ReadPart(in, parts.after.back(), kPartLimit))
            return false;
    }
    if (!in.leave() || !in.leave() || !in.leave())
        return false;
    return in.atEndOfStream() || FailWith(codes::Asn1Corrupt);
}

} // namespace

std::optional<StreamedSignedData> ReadSignedStream(ByteStream& in, ByteStream* contentOut,
                                                   const StreamProgress& progress)
{
    BerInput input(in);
    if (input.total() == 0) {
        FailWith(codes::Asn1Eod);
        return std::nullopt;
    }
    SignedParts parts;
    StreamedSignedData read;
    if (!ReadHead(input, parts) || !StartDigests(parts, read) || !ReadContent(input, read, contentOut, progress) ||
        !ReadTail(input, parts))
        return std::nullopt;
    read.der = Frame(parts, parts.after);
    read.cms = Decode(read.der);
    if (!read.cms)
        return std::nullopt;
    return read;
}

} // namespace ordalis
