#include "tests/support/FixtureFolder.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace ordalis::test {
namespace {

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &utc);
    return text;
}

std::filesystem::path Root()
{
    const char* configured = std::getenv("ORDALIS_TEST_FIXTURES");
    return configured && *configured
               ? std::filesystem::path(configured)
               : std::filesystem::temp_directory_path() / ("ordalis-test-fixtures-" + std::to_string(::geteuid()));
}

} // namespace

std::string FixtureFolder(const std::string& name, const std::function<void(const std::string& folder)>& make)
{
    const std::filesystem::path root = Root();
    const std::filesystem::path published = root / (name + "-" + Today());
    if (std::filesystem::exists(published))
        return published.string();
    std::filesystem::create_directories(root);
    std::string pattern = (root / (".making-" + name + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a folder in " + root.string());
    try {
        make(pattern);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
        throw;
    }
    // A rename onto a folder that another process published in the meantime fails; theirs is as good.
    if (std::rename(pattern.c_str(), published.c_str()) != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
        if (!std::filesystem::exists(published))
            throw std::runtime_error("cannot publish " + published.string());
    }
    return published.string();
}

} // namespace ordalis::test
