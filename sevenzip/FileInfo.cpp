#include "sevenzip/FileInfo.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace ordalis::sevenzip {

namespace {

constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kHidden = 0x02;
constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kArchive = 0x20;
constexpr std::uint32_t kUnixExtension = 0x8000;

FILETIME FromStatx(const statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

std::string BareName(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

} // namespace

std::uint32_t FileAttributes(std::uint32_t mode, const std::string& bareName)
{
    std::uint32_t attributes = kUnixExtension | (mode << 16);
    if (S_ISDIR(mode))
        attributes |= kDirectory;
    else
        attributes |= kArchive;
    if ((mode & S_IWUSR) == 0)
        attributes |= kReadOnly;
    if (!bareName.empty() && bareName[0] == '.' && bareName != "." && bareName != "..")
        attributes |= kHidden;
    return attributes;
}

std::optional<DiskFileInfo> ReadFileInfo(const std::string& path)
{
    struct statx st {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return std::nullopt;
    DiskFileInfo info;
    info.isDirectory = S_ISDIR(st.stx_mode);
    info.isRegular = S_ISREG(st.stx_mode);
    info.attributes = FileAttributes(st.stx_mode, BareName(path));
    info.lastWriteTime = FromStatx(st.stx_mtime);
    // Not every file system records a birth time; the change time stands in then.
    info.creationTime = FromStatx((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    info.size = st.stx_size;
    return info;
}

} // namespace ordalis::sevenzip
