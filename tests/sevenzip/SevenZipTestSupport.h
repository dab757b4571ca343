#pragma once

#include "common/ByteBuffer.h"
#include "tests/sevenzip/FakeSevenZip.h"

#include <map>
#include <string>
#include <vector>

namespace ordalis::test {

// The library name the program passes; found by the loader's search.
inline const std::string kRealLibrary = "7z.so";

// The test stand-in for the library, loaded by the test itself so that its
// configuration and log outlive the writers that load it after.
class FakeLibrary {
public:
    explicit FakeLibrary(const std::string& path, const FakeConfig& config = {});
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;
    ~FakeLibrary();

    const std::string& path() const { return m_path; }
    // Sets what the library does next and clears its log.
    void configure(const FakeConfig& config);
    std::vector<std::string> record() const;

private:
    std::string m_path;
    void* m_handle = nullptr;
};

// Runs a shell command; gives its exit status and fills output with stdout and stderr.
int RunCommand(const std::string& command, std::string* output = nullptr);
std::string ShellQuote(const std::string& text);

bool HaveSevenZipTool();
// The items of `7z l -slt` in listing order, each its "Key = Value" lines; times in UTC.
std::vector<std::map<std::string, std::string>> ListArchive(const std::string& archive);
// `7z x` into folder; true when 7z reports success.
bool ExtractArchive(const std::string& archive, const std::string& folder, const std::string& password = {});
// `7z t` with the password; true when 7z reports success.
bool TestArchive(const std::string& archive, const std::string& password);

// Sets a file's access and modification time (seconds since 1970, UTC).
void SetFileTime(const std::string& path, long long seconds);

// A stream that gives its first bytes, then fails like a disk read error.
class FailingStream : public ByteBuffer {
public:
    explicit FailingStream(const std::string& firstBytes);
    std::size_t read(void* data, std::size_t count) override;

private:
    bool m_failNext = false;
};

// A buffer that tells when it is freed.
class WatchedStream : public ByteBuffer {
public:
    WatchedStream(const std::string& content, bool& freed);
    ~WatchedStream() override;

private:
    bool& m_freed;
};

} // namespace ordalis::test
