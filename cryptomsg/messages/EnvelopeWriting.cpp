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
    const std::int64_t left = BytesLeft(inFd);
    if (left < 0) {
        failure.readError = errno;
        return FailWith(codes::MsgError);
    }
    Transfer transfer{0, static_cast<std::uint64_t>(left), &progress, &failure};
    BioPtr in = WatchedFileBio(inFd, transfer);
    BioPtr out = WatchedFileBio(outFd, transfer);
    if (!in || !out)
        return FailFromOpenSsl(codes::MsgError);
    errno = 0;
    const bool written =
        i2d_CMS_bio_stream(out.get(), cms.get(), in.get(), CMS_STREAM | CMS_BINARY) == 1 && BIO_flush(out.get()) == 1;
    if (failure.readError != 0 || failure.writeError != 0)
        return FailWith(codes::MsgError);
    if (!written)
        return FailFromOpenSsl(codes::MsgError);
    // A file that changed size while it was read is not the file that was asked for.
    if (transfer.read != transfer.total) {
        failure.readError = EIO;
        return FailWith(codes::MsgError);
    }
    return true;
}

} // namespace ordalis
