#pragma once

// Ways to make the system refuse an output file, for the robustness tests.

#include <csignal>
#include <cstddef>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace ordalis::test {

// Lowers the process's file-size limit (RLIMIT_FSIZE) while it lives. SIGXFSZ is
// ignored meanwhile, so a write past the limit fails with EFBIG instead of
// ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit();

private:
    rlimit m_previous{};
    struct sigaction m_previousAction {};
};

// A tmpfs of the given size mounted on folder while it lives: a real full disk.
// Mounting needs the right to mount (root in a container, usually); without it,
// mounted() is false and reason() says why.
class SmallFileSystem {
public:
    SmallFileSystem(std::string folder, std::size_t bytes);
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    ~SmallFileSystem();

    bool mounted() const { return m_mounted; }
    const std::string& reason() const { return m_reason; }

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_reason;
};

// The names in a folder that are not in expected, sorted: what an operation left behind.
std::vector<std::string> UnexpectedFiles(const std::string& folder, const std::vector<std::string>& expected);

} // namespace ordalis::test
