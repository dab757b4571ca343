#include "app/FileSizeCheck.h"

#include "common/Error.h"
#include "common/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

bool FileSizeOk(const std::string& name)
{
    // The empty name stood for standard input, which a windowed program does not
    // have: measuring it fails as an invalid handle does.
    if (name.empty())
        ThrowInOutError(EBADF, name);

    // Read-only: measuring a file must not need the right to write it. O_NONBLOCK
    // keeps a FIFO chosen by mistake from hanging the window.
    UniqueFd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        ThrowInOutError(errno, name);

    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        ThrowInOutError(errno, name);
    // A folder opens for reading here but is no file to sign or encrypt.
    if (S_ISDIR(status.st_mode))
        ThrowInOutError(EISDIR, name);

    // On Linux the descriptor is gone even when close reports EINTR.
    if (::close(fd.release()) != 0 && errno != EINTR)
        ThrowInOutError(errno, name);

    return status.st_size <= MaxFileSize;
}

} // namespace ordalis
