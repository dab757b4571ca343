#include "tools/common/PasswordFile.h"

#include "common/Error.h"
#include "common/FileModes.h"
#include "common/SystemError.h"
#include "common/UniqueFd.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <unistd.h>

namespace ordalis::tools {

namespace {

constexpr std::size_t kMostRead = 4096;

// Reads until the first line feed or past kMostRead bytes, wiping the read buffer.
void ReadFirstLine(int fd, const std::string& path, Secret& line)
{
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            OPENSSL_cleanse(buffer, sizeof buffer);
            throw Error(CannotOpenFileText(path, error));
        }
        if (n == 0)
            break;
        line.append(std::string_view(buffer, static_cast<std::size_t>(n)));
        if (line.text().find('\n') != std::string::npos || line.text().size() > kMostRead)
            break;
    }
    OPENSSL_cleanse(buffer, sizeof buffer);
}

} // namespace

Secret ReadPasswordFile(const std::string& path)
{
    UniqueFd fd = OpenRegularFileForReading(path);
    if (!fd)
        throw Error(CannotOpenFileText(path, errno));
    Secret read;
    ReadFirstLine(fd.get(), path, read);
    const std::size_t end = read.text().find('\n');
    read.dropBack(end == std::string::npos ? 0 : read.text().size() - end);
    if (!read.text().empty() && read.text().back() == '\r')
        read.dropBack(1);
    return read;
}

} // namespace ordalis::tools
