#include "common/AtomicFileWriter.h"

#include "common/Error.h"
#include "common/FileModes.h"
#include "common/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

namespace {

constexpr int kNameAttempts = 100;

std::string FolderOf(const std::string& target)
{
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// A short name whatever the target's length, so that a target name at the
// file system's limit still gets a temporary file beside it.
std::string TemporaryNameIn(const std::string& folder)
{
    static thread_local std::mt19937_64 random(std::random_device{}());
    char name[32];
    std::snprintf(name, sizeof name, ".ordalis-%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
    return folder + "/" + name;
}

// The kernels and file systems that cannot make a file without a name say so with these.
bool UnnamedFilesUnsupported(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target, OutputMode mode) : m_target(std::move(target)), m_mode(mode)
{
    struct stat st {};
    if (m_target.empty() || (::stat(m_target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        throw Error(CannotCreateFileText(m_target, m_target.empty() ? ENOENT : EISDIR));

    const std::string folder = FolderOf(m_target);
    UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd) {
        m_stream = std::make_unique<FileStream>(std::move(fd), m_target);
        return;
    }
    if (!UnnamedFilesUnsupported(errno))
        throw Error(CannotCreateFileText(m_target, errno));
    openNamedTemporary(folder);
}

void AtomicFileWriter::openNamedTemporary(const std::string& folder)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TemporaryNameIn(folder);
        UniqueFd fd(::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd) {
            m_removeOnInterrupt = std::make_unique<RemoveOnInterrupt>(candidate);
            m_namedTemporary = std::move(candidate);
            m_stream = std::make_unique<FileStream>(std::move(fd), m_target);
            return;
        }
        if (errno != EEXIST)
            throw Error(CannotCreateFileText(m_target, errno));
    }
    throw Error(CannotCreateFileText(m_target, EEXIST));
}

// Links the unnamed file into its folder under a temporary name, from which
// rename() can replace the target in one step.
void AtomicFileWriter::nameTheFile()
{
    const std::string folder = FolderOf(m_target);
    const std::string self = "/proc/self/fd/" + std::to_string(m_stream->fd());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TemporaryNameIn(folder);
        auto guard = std::make_unique<RemoveOnInterrupt>(candidate);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(m_stream->fd(), "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0) {
            m_removeOnInterrupt = std::move(guard);
            m_namedTemporary = std::move(candidate);
            return;
        }
        if (errno != EEXIST)
            throw Error(CannotCreateFileText(m_target, errno));
    }
    throw Error(CannotCreateFileText(m_target, EEXIST));
}

void AtomicFileWriter::removeNamedTemporary()
{
    if (!m_namedTemporary.empty())
        ::unlink(m_namedTemporary.c_str());
    m_namedTemporary.clear();
    m_removeOnInterrupt.reset();
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_committed) {
        m_stream.reset();
        removeNamedTemporary();
    }
}

void AtomicFileWriter::commit()
{
    if (::fsync(m_stream->fd()) != 0)
        ThrowInOutError(errno, m_target);
    const mode_t mode = m_mode.exactly ? *m_mode.exactly : ModeForReplacing(m_target);
    if (::fchmod(m_stream->fd(), mode & m_mode.atMost & 0777) != 0)
        throw Error(CannotCreateFileText(m_target, errno));
    if (m_namedTemporary.empty())
        nameTheFile();
    m_stream->close();
    if (::rename(m_namedTemporary.c_str(), m_target.c_str()) != 0) {
        const int err = errno;
        removeNamedTemporary();
        throw Error(CannotCreateFileText(m_target, err));
    }
    m_namedTemporary.clear();
    m_removeOnInterrupt.reset();
    m_committed = true;
    SyncFolder(FolderOf(m_target));
}

void SaveFileAtomically(const std::string& path, std::span<const unsigned char> bytes, OutputMode mode)
{
    AtomicFileWriter writer(path, mode);
    writer.stream().write(bytes.data(), bytes.size());
    writer.commit();
}

} // namespace ordalis
