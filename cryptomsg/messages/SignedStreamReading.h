#pragma once

// A SignedData read from a stream as it goes, so that the content it carries
// may be of any size: the outer structure is walked with OpenSSL's BER decoder,
// the content octets (definite or indefinite length, primitive or in segments)
// go through the digests a chunk at a time, and the rest of the message (its
// certificates, CRLs and signers) is decoded by OpenSSL without the content.

#include "common/ByteStream.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/StreamBios.h"

#include <optional>
#include <vector>

namespace ordalis {

struct StreamedSignedData {
    bool carriesContent = false;
    std::vector<unsigned char> der; // the message without its content, as OpenSSL decodes it
    CmsPtr cms;                     // the same, decoded
    CmsPtr digested;                // the message's digest algorithms, which made the digests
    BioPtr digests;                 // the content's digest by each of them, for every signer's check
};

// Reads a whole SignedData from in, writing the content it carries to
// contentOut (when given) as it is read. Nothing, with the last error set
// (UnexpectedMsgType for another message type, Asn1Eod or Asn1Corrupt for
// bytes that are not one whole message and nothing after it), when in does not
// hold exactly one SignedData; contentOut may then hold a part of the content.
std::optional<StreamedSignedData> ReadSignedStream(ByteStream& in, ByteStream* contentOut,
                                                   const StreamProgress& progress = {});

} // namespace ordalis
