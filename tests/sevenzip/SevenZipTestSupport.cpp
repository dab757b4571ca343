#include "tests/sevenzip/SevenZipTestSupport.h"

#include "common/Error.h"

#include <array>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

namespace ordalis::test {

FakeLibrary::FakeLibrary(const std::string& path, const FakeConfig& config) : m_path(path)
{
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle)
        throw std::runtime_error("cannot load " + path);
    configure(config);
}

void FakeLibrary::configure(const FakeConfig& config)
{
    if (const auto set = reinterpret_cast<FakeConfigureFunc>(::dlsym(m_handle, "FakeConfigure")))
        set(&config);
}

FakeLibrary::~FakeLibrary() { ::dlclose(m_handle); }

std::vector<std::string> FakeLibrary::record() const
{
    const auto get = reinterpret_cast<FakeRecordFunc>(::dlsym(m_handle, "FakeRecord"));
    std::vector<std::string> lines;
    std::istringstream in(get ? get() : "");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer{};
    std::string text;
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveSevenZipTool() { return RunCommand("command -v 7z") == 0; }

std::vector<std::map<std::string, std::string>> ListArchive(const std::string& archive)
{
    std::string text;
    if (RunCommand("TZ=UTC 7z l -slt -- " + ShellQuote(archive), &text) != 0)
        throw std::runtime_error("7z l failed: " + text);
    std::vector<std::map<std::string, std::string>> items;
    const auto start = text.find("\n----------\n");
    std::istringstream in(start == std::string::npos ? "" : text.substr(start + 12));
    std::map<std::string, std::string> item;
    for (std::string line; std::getline(in, line);) {
        const auto equals = line.find(" = ");
        if (equals != std::string::npos) {
            item[line.substr(0, equals)] = line.substr(equals + 3);
        } else if (line.empty() && !item.empty()) {
            items.push_back(std::move(item));
            item.clear();
        }
    }
    if (!item.empty())
        items.push_back(std::move(item));
    return items;
}

bool ExtractArchive(const std::string& archive, const std::string& folder, const std::string& password)
{
    const std::string passwordSwitch = password.empty() ? "" : " -p" + ShellQuote(password);
    return RunCommand("7z x -y" + passwordSwitch + " -o" + ShellQuote(folder) + " -- " + ShellQuote(archive)) == 0;
}

bool TestArchive(const std::string& archive, const std::string& password)
{
    return RunCommand("7z t -p" + ShellQuote(password) + " -- " + ShellQuote(archive)) == 0;
}

void SetFileTime(const std::string& path, long long seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("utimensat failed for " + path);
}

FailingStream::FailingStream(const std::string& firstBytes)
{
    write(firstBytes.data(), firstBytes.size());
    setPosition(0);
}

std::size_t FailingStream::read(void* data, std::size_t count)
{
    if (m_failNext)
        throw InOutError(5);
    m_failNext = true;
    return ByteBuffer::read(data, count);
}

WatchedStream::WatchedStream(const std::string& content, bool& freed) : m_freed(freed)
{
    write(content.data(), content.size());
}

WatchedStream::~WatchedStream() { m_freed = true; }

} // namespace ordalis::test
