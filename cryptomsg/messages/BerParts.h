#pragma once

// Steps of the walk of a message's outer structure that the streaming readers
// of envelopes and of signatures share.

#include "cryptomsg/messages/BerInput.h"

#include <cstddef>
#include <vector>

namespace ordalis {

// Steps into the next element, which must be constructed with this tag and class.
bool EnterConstructed(BerInput& in, int tag, int xclass);

// Reads the next element whole, no longer than limit bytes, into part.
bool ReadPart(BerInput& in, std::vector<unsigned char>& part, std::size_t limit);

// Whether contentType (an encoded OID) names the content type nid; another
// type fails with UnexpectedMsgType, bytes that are no OID with Asn1Corrupt.
bool IsContentType(const std::vector<unsigned char>& contentType, int nid);

} // namespace ordalis
