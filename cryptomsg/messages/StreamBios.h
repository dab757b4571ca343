#pragma once

// The file ends of OpenSSL's streaming BIO chains: file descriptors watched
// for failed reads and writes and for the bytes read, behind buffers.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <cstdint>
#include <functional>

namespace ordalis {

// Told how many bytes have been read, of how many.
using StreamProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// What a read or write of the files failed with (errno), when that is why.
struct TransferFailure {
    int readError = 0;
    int writeError = 0;
};

// What the chain read and whether a read or write failed: OpenSSL's streaming
// copy takes a failed read for the end of the content and does not check
// every write, so both are watched here.
struct Transfer {
    std::uint64_t read = 0;
    std::uint64_t total = 0;
    const StreamProgress* progress = nullptr;
    TransferFailure* failure = nullptr;
};

// A buffered BIO over the open file fd (not closed with it) that records into
// transfer. Null when OpenSSL cannot make it.
BioPtr WatchedFileBio(int fd, Transfer& transfer);

// The bytes left in the open file fd from its position, or -1 with errno set.
std::int64_t BytesLeft(int fd);

// Writes cms to outFd as BER, its content read from inFd as it goes
// (i2d_CMS_bio_stream with flags). A failed read or write is told in failure,
// a file that changed size as a read error; a failure of OpenSSL's own sets
// its error, or encodingFailure when it gives none.
bool StreamCmsBetweenFiles(CMS_ContentInfo* cms, int flags, int inFd, int outFd, const StreamProgress& progress,
                           TransferFailure& failure, std::uint32_t encodingFailure);

} // namespace ordalis
