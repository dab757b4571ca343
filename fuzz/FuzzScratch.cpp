#include "fuzz/FuzzScratch.h"

#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace ordalis::fuzz {

namespace {

namespace fs = std::filesystem;

// One folder for the process: libFuzzer gives its callbacks no context to keep it in.
std::string& Folder()
{
    static std::string folder;
    return folder;
}

void RemoveScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
}

} // namespace

const std::string& ScratchFolder()
{
    if (Folder().empty()) {
        std::string pattern = (fs::temp_directory_path() / "ordalis-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr);
        Folder() = pattern;
        std::atexit(RemoveScratchFolder);
        ::setenv("XDG_DATA_HOME", pattern.c_str(), 1);
    }
    return Folder();
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Require(n > 0);
        done += static_cast<std::size_t>(n);
    }
    Require(::close(fd) == 0);
}

void ResetFolder(const std::string& folder)
{
    std::error_code error;
    fs::remove_all(folder, error);
    Require(!error);
    fs::create_directories(folder, error);
    Require(!error);
    fs::permissions(folder, fs::perms::owner_all, error);
}

} // namespace ordalis::fuzz
