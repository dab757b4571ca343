#include "common/FileModes.h"

#include "common/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

mode_t CurrentUmask()
{
    // umask() can only be read by setting it, which would race with other
    // threads creating files; the kernel also reports it here.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8)) & 0777;
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

mode_t ModeForReplacing(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        return st.st_mode & 0777;
    return 0666 & ~CurrentUmask();
}

UniqueFd OpenRegularFileForReading(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return fd;
    struct stat st {};
    const int err = ::fstat(fd.get(), &st) != 0 ? errno
                    : S_ISREG(st.st_mode)       ? 0
                    : S_ISDIR(st.st_mode)       ? EISDIR
                                                : EPERM;
    if (err != 0) {
        fd.reset();
        errno = err;
        return fd;
    }
    // Regular files never block; clearing the flag keeps reads plain.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void SyncFolder(const std::string& folder)
{
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

} // namespace ordalis
