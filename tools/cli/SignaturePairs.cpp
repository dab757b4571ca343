#include "tools/cli/SignaturePairs.h"

#include <sys/stat.h>

namespace ordalis::cli {

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

constexpr const char* kSignatureExtensions[] = {".sig", ".p7s", ".p7m", ".sgn"};

bool IsSignatureName(const std::string& name)
{
    for (const char* ext : kSignatureExtensions)
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0)
            return true;
    return false;
}

// The signature lying beside a file, by the first extension found; empty when none does.
std::string SignatureBeside(const std::string& file)
{
    for (const char* ext : kSignatureExtensions)
        if (Exists(file + ext))
            return file + ext;
    return {};
}

} // namespace

std::vector<std::pair<std::string, std::string>> VerifyPairs(const std::vector<std::string>& files)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        if (i + 1 < files.size() && IsSignatureName(files[i + 1]) && !IsSignatureName(file)) {
            pairs.emplace_back(file, files[++i]);
        } else if (std::string beside = SignatureBeside(file); !beside.empty()) {
            pairs.emplace_back(file, std::move(beside));
        } else if (IsSignatureName(file) && Exists(file)) {
            pairs.emplace_back(file, file); // an attached signature, over the content it carries
        } else {
            pairs.emplace_back(file, std::string());
        }
    }
    return pairs;
}

} // namespace ordalis::cli
