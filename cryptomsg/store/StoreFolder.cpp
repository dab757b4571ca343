#include "cryptomsg/store/StoreFolder.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

namespace {

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string StoreRootFolder()
{
    // The XDG rules ignore a relative XDG_DATA_HOME.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const std::string base = dataHome && dataHome[0] == '/' ? dataHome : HomeFolder() + "/.local/share";
    return base + "/ordalis/certstore";
}

std::string StoreFolderPath(const std::string& storeName)
{
    if (storeName.empty() || storeName == "." || storeName == ".." || storeName.find('/') != std::string::npos ||
        storeName.find('\0') != std::string::npos)
        throw Error(texts::BadStoreName(storeName));
    return StoreRootFolder() + "/" + storeName;
}

void EnsureStoreFolder(const std::string& folder)
{
    if (IsFolder(folder))
        return;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!IsFolder(part) && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            throw Error("Не удалось создать папку \"" + part + "\": " + ErrnoText(errno));
        if (slash == std::string::npos)
            break;
    }
}

void WriteStoreFile(const std::string& path, std::span<const unsigned char> bytes)
{
    // Keys must never be readable by others, whatever stood under the name before.
    SaveFileAtomically(path, bytes, OutputMode::Exactly(0600));
}

} // namespace ordalis
