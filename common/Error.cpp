#include "common/Error.h"

#include <cerrno>
#include <filesystem>

namespace ordalis {

namespace {

bool ParentFolderExists(const std::string& path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return false;
    return std::filesystem::is_directory(absolute.parent_path(), ec);
}

} // namespace

InOutError::InOutError(int code) : Error(InOutErrorText(code)), m_code(code) {}

std::string InOutErrorText(int code)
{
    switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

int InOutCodeFromErrno(int err, const std::string& path)
{
    switch (err) {
    case ENOENT: return path.empty() || ParentFolderExists(path) ? 2 : 3;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5;
    case EMFILE:
    case ENFILE: return 4;
    case EBADF: return 6;
    case ETXTBSY:
    case EBUSY: return 32;
    case ENOSPC:
    case EDQUOT: return 101;
    default: return err;
    }
}

void ThrowInOutError(int err, const std::string& path) { throw InOutError(InOutCodeFromErrno(err, path)); }

} // namespace ordalis
