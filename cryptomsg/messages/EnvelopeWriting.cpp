#include "cryptomsg/messages/EnvelopeWriting.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

namespace {

// What the chain read and whether a read or write failed: OpenSSL's streaming
// copy takes a failed read for the end of the content and does not check
// every write, so both are watched here.
struct Transfer {
    std::uint64_t read = 0;
    std::uint64_t total = 0;
    const StreamProgress* progress = nullptr;
    TransferFailure* failure = nullptr;
};

long WatchTransfer(BIO* bio, int operation, const char*, std::size_t, int, long, int ret, std::size_t* processed)
{
    auto* transfer = reinterpret_cast<Transfer*>(BIO_get_callback_arg(bio));
    if (operation == (BIO_CB_READ | BIO_CB_RETURN)) {
        if (ret < 0 && transfer->failure->readError == 0)
            transfer->failure->readError = errno != 0 ? errno : EIO;
        if (ret > 0 && processed) {
            transfer->read += *processed;
            if (*transfer->progress)
                (*transfer->progress)(transfer->read, transfer->total);
        }
    } else if (operation == (BIO_CB_WRITE | BIO_CB_RETURN) && ret <= 0 && transfer->failure->writeError == 0) {
        transfer->failure->writeError = errno != 0 ? errno : EIO;
    }
    return ret;
}

BioPtr WatchedFd(int fd, Transfer& transfer)
{
    BioPtr bio(BIO_new_fd(fd, BIO_NOCLOSE));
    if (bio) {
        BIO_set_callback_ex(bio.get(), WatchTransfer);
        BIO_set_callback_arg(bio.get(), reinterpret_cast<char*>(&transfer));
    }
    return bio;
}

// OpenSSL's streaming copy reads a kilobyte at a time and writes each segment
// in two pieces: buffers keep that from becoming a system call each.
BioPtr Buffered(BioPtr file)
{
    constexpr long kBufferSize = 256 * 1024;
    BioPtr buffer(BIO_new(BIO_f_buffer()));
    if (!file || !buffer || BIO_set_buffer_size(buffer.get(), kBufferSize) != 1)
        return nullptr;
    BIO_push(buffer.get(), file.release());
    return buffer;
}

} // namespace

bool EncryptStream(std::span<X509* const> recipients, int inFd, int outFd, const StreamProgress& progress,
                   TransferFailure& failure)
{
    failure = {};
    CmsPtr cms = NewGostEnvelope(recipients);
    if (!cms)
        return false;
    struct stat st {};
    const off_t start = ::lseek(inFd, 0, SEEK_CUR);
    if (::fstat(inFd, &st) != 0 || start < 0) {
        failure.readError = errno;
        return FailWith(codes::MsgError);
    }
    Transfer transfer{0, static_cast<std::uint64_t>(st.st_size - start), &progress, &failure};
    BioPtr in = Buffered(WatchedFd(inFd, transfer));
    BioPtr out = Buffered(WatchedFd(outFd, transfer));
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
