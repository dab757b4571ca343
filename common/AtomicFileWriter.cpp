#include "common/AtomicFileWriter.h"

#include "common/Error.h"
#include "common/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

namespace {

std::string TemporaryNameBeside(const std::string& target, std::mt19937_64& random)
{
    const std::filesystem::path path(target);
    const std::string suffix = std::to_string(random() % 1000000000ULL);
    return (path.parent_path() / ("." + path.filename().string() + "." + suffix + ".tmp")).string();
}

// New files get the usual 0666 less the umask; a replaced file keeps its mode.
mode_t ModeFor(const std::string& target)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    return 0666;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target) : m_target(std::move(target))
{
    struct stat st {};
    if (m_target.empty() || (::stat(m_target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        throw Error(CannotCreateFileText(m_target, m_target.empty() ? ENOENT : EISDIR));

    const mode_t mode = ModeFor(m_target);
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = TemporaryNameBeside(m_target, random);
        UniqueFd fd(::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd) {
            if (mode != 0666)
                ::fchmod(fd.get(), mode);
            m_tempPath = std::move(candidate);
            m_stream = std::make_unique<FileStream>(std::move(fd), m_target);
            return;
        }
        if (errno != EEXIST)
            throw Error(CannotCreateFileText(m_target, errno));
    }
    throw Error(CannotCreateFileText(m_target, EEXIST));
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed) {
        m_stream.reset();
        ::unlink(m_tempPath.c_str());
    }
}

void AtomicFileWriter::commit()
{
    if (::fsync(m_stream->fd()) != 0)
        ThrowInOutError(errno, m_target);
    m_stream->close();
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        throw Error(CannotCreateFileText(m_target, errno));
    m_committed = true;
}

void SaveFileAtomically(const std::string& path, std::span<const unsigned char> bytes)
{
    AtomicFileWriter writer(path);
    writer.stream().write(bytes.data(), bytes.size());
    writer.commit();
}

} // namespace ordalis
