#include "cryptomsg/messages/EnvelopeWriting.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"

#include <cerrno>

namespace ordalis {

bool EncryptStream(std::span<X509* const> recipients, int inFd, int outFd, const StreamProgress& progress,
                   TransferFailure& failure)
{
    failure = {};
    CmsPtr cms = NewGostEnvelope(recipients);
    if (!cms)
        return false;
    return StreamCmsBetweenFiles(cms.get(), CMS_STREAM | CMS_BINARY, inFd, outFd, progress, failure, codes::MsgError);
}

} // namespace ordalis
