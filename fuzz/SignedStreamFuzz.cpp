// The signature reader that digests an attached content as it reads, on
// arbitrary bytes read back a few at a time, then every signer checked over
// the digests. Where the whole-message examination reads the same bytes as a
// signature too, both find the same content and the same verdict for each signer.

#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/SignatureExamination.h"
#include "cryptomsg/messages/SignedStreamReading.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/TrickleStream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace ordalis;

namespace {

bool SameContent(const ByteBuffer& streamed, const std::vector<unsigned char>& whole)
{
    return streamed.length() == whole.size() &&
           (whole.empty() || std::memcmp(streamed.data(), whole.data(), whole.size()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::TrickleStream in(data, size);
    ByteBuffer content;
    const std::optional<StreamedSignedData> read = ReadSignedStream(in, &content);
    if (!read)
        return 0;
    fuzz::Require(read->cms && read->digests && !read->der.empty());
    fuzz::Require(content.length() <= size && (read->carriesContent || content.length() == 0));
    const SignatureReport streamed = ExamineDigestedSignature(read->cms.get(), read->digests.get());
    const SignatureReport whole = ExamineSignature({data, size}, nullptr);
    if (whole.failure != SignatureFailure::None)
        return 0;
    fuzz::Require(read->carriesContent == whole.embeddedContent.has_value());
    fuzz::Require(!whole.embeddedContent || SameContent(content, *whole.embeddedContent));
    fuzz::Require(streamed.signers.size() == whole.signers.size());
    for (std::size_t i = 0; i < whole.signers.size(); ++i)
        fuzz::Require(streamed.signers[i].failure == whole.signers[i].failure);
    return 0;
}
