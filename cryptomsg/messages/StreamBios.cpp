#include "cryptomsg/messages/StreamBios.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/cms.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

namespace {

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

} // namespace

BioPtr WatchedFileBio(int fd, Transfer& transfer)
{
    // OpenSSL's streaming copy reads a kilobyte at a time and writes each segment
    // in two pieces: buffers keep that from becoming a system call each.
    constexpr long kBufferSize = 256 * 1024;
    BioPtr file = WatchedFd(fd, transfer);
    BioPtr buffer(BIO_new(BIO_f_buffer()));
    if (!file || !buffer || BIO_set_buffer_size(buffer.get(), kBufferSize) != 1)
        return nullptr;
    BIO_push(buffer.get(), file.release());
    return buffer;
}

std::int64_t BytesLeft(int fd)
{
    struct stat st {};
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    if (::fstat(fd, &st) != 0 || start < 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size - start);
}

bool StreamCmsBetweenFiles(CMS_ContentInfo* cms, int flags, int inFd, int outFd, const StreamProgress& progress,
                           TransferFailure& failure, std::uint32_t encodingFailure)
{
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
    const bool written = i2d_CMS_bio_stream(out.get(), cms, in.get(), flags) == 1 && BIO_flush(out.get()) == 1;
    if (failure.readError != 0 || failure.writeError != 0)
        return FailWith(codes::MsgError);
    if (!written)
        return FailFromOpenSsl(encodingFailure);
    // A file that changed size while it was read is not the file that was asked for.
    if (transfer.read != transfer.total) {
        failure.readError = EIO;
        return FailWith(codes::MsgError);
    }
    return true;
}

} // namespace ordalis
