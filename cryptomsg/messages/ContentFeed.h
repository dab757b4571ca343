#pragma once

// Content handed to a signer or a verifier a chunk at a time, so that its
// length is not bounded by memory.

#include "common/ByteStream.h"
#include "cryptomsg/messages/OutgoingMessage.h"
#include "cryptomsg/messages/StreamBios.h"

#include <functional>

namespace ordalis {

// Takes the next chunk of the content; false stops the feed.
using ChunkSink = std::function<bool(ByteView chunk)>;
// Gives the whole content to the sink in order. False when the sink refused
// a chunk; a failed read is thrown by the stream.
using ContentFeed = std::function<bool(const ChunkSink& sink)>;

// The chunk a feed reads at a time: large enough for the primitives' speed,
// small enough that memory does not depend on the content.
inline constexpr std::size_t kFeedChunk = std::size_t{1} << 20;

// Feeds what the stream holds from its position to its end, telling progress
// (when given) the bytes fed of those there were at the start.
ContentFeed FeedFrom(ByteStream& in, const StreamProgress& progress = {});

// Feeds bytes held in memory.
ContentFeed FeedBytes(ByteView bytes);

// Writes each chunk through a BIO chain (a digest filter).
ChunkSink WriteInto(BIO* chain);

} // namespace ordalis
