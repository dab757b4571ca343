#include "common/FileStream.h"

#include "common/Error.h"
#include "common/FileModes.h"
#include "common/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

FileStream::FileStream(UniqueFd fd, std::string path) : m_fd(std::move(fd)), m_path(std::move(path)) {}

FileStream FileStream::openRead(const std::string& path)
{
    UniqueFd fd = OpenRegularFileForReading(path);
    if (!fd)
        throw Error(CannotOpenFileText(path, errno));
    return FileStream(std::move(fd), path);
}

std::size_t FileStream::read(void* data, std::size_t count)
{
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), data, count);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            ThrowInOutError(errno, m_path);
    }
}

std::size_t FileStream::write(const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd.get(), bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowInOutError(errno, m_path);
        }
        done += static_cast<std::size_t>(n);
    }
    return count;
}

std::int64_t FileStream::seek(std::int64_t offset, SeekOrigin origin)
{
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(m_fd.get(), offset, whence);
    if (pos < 0)
        ThrowInOutError(errno, m_path);
    return pos;
}

std::int64_t FileStream::size()
{
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0)
        ThrowInOutError(errno, m_path);
    return st.st_size;
}

mode_t FileStream::permissions()
{
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0)
        ThrowInOutError(errno, m_path);
    return st.st_mode & 0777;
}

void FileStream::close()
{
    if (::close(m_fd.release()) != 0)
        ThrowInOutError(errno, m_path);
}

void FileStream::setSize(std::int64_t newSize)
{
    if (::ftruncate(m_fd.get(), newSize) != 0)
        ThrowInOutError(errno, m_path);
}

} // namespace ordalis
