#include "tests/robustness/OutputRefusers.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/mount.h>

namespace ordalis::test {

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    if (::getrlimit(RLIMIT_FSIZE, &m_previous) != 0)
        throw std::runtime_error(std::string("getrlimit: ") + std::strerror(errno));
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &m_previousAction);
    rlimit limited = m_previous;
    limited.rlim_cur = std::min(bytes, m_previous.rlim_max);
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
        ::sigaction(SIGXFSZ, &m_previousAction, nullptr);
        throw std::runtime_error(std::string("setrlimit: ") + std::strerror(errno));
    }
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_previous);
    ::sigaction(SIGXFSZ, &m_previousAction, nullptr);
}

SmallFileSystem::SmallFileSystem(std::string folder, std::size_t bytes) : m_folder(std::move(folder))
{
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (::mount("ordalis-test", m_folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, options.c_str()) == 0)
        m_mounted = true;
    else
        m_reason = std::string("cannot mount a small tmpfs here (") + std::strerror(errno) + ")";
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}

std::vector<std::string> UnexpectedFiles(const std::string& folder, const std::vector<std::string>& expected)
{
    std::vector<std::string> left;
    for (const std::string& name : ListFolder(folder))
        if (std::find(expected.begin(), expected.end(), name) == expected.end())
            left.push_back(name);
    return left;
}

} // namespace ordalis::test
