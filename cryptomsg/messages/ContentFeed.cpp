#include "cryptomsg/messages/ContentFeed.h"

#include "cryptomsg/messages/MessageSupport.h"

#include <algorithm>
#include <vector>

namespace ordalis {

ContentFeed FeedFrom(ByteStream& in, const StreamProgress& progress)
{
    return [&in, progress](const ChunkSink& sink) {
        const auto total = static_cast<std::uint64_t>(std::max<std::int64_t>(in.size() - in.position(), 0));
        std::vector<unsigned char> chunk(kFeedChunk);
        std::uint64_t done = 0;
        for (std::size_t got; (got = in.read(chunk.data(), chunk.size())) > 0;) {
            if (!sink({chunk.data(), got}))
                return false;
            done += got;
            if (progress)
                progress(done, total);
        }
        return true;
    };
}

ContentFeed FeedBytes(ByteView bytes)
{
    return [bytes](const ChunkSink& sink) { return bytes.empty() || sink(bytes); };
}

ChunkSink WriteInto(BIO* chain)
{
    return [chain](ByteView chunk) { return WriteThrough(chain, chunk); };
}

} // namespace ordalis
