#include "tools/cli/SignaturePairs.h"

#include <sys/stat.h>

namespace ordalis::cli {

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsSignatureName(const std::string& name)
{
    auto endsWith = [&](const char* ext) { return name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0; };
    return endsWith(".sig") || endsWith(".p7s");
}

} // namespace

std::vector<std::pair<std::string, std::string>> VerifyPairs(const std::vector<std::string>& files)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        if (i + 1 < files.size() && IsSignatureName(files[i + 1]) && !IsSignatureName(file)) {
            pairs.emplace_back(file, files[++i]);
        } else if (Exists(file + ".sig")) {
            pairs.emplace_back(file, file + ".sig");
        } else if (Exists(file + ".p7s")) {
            pairs.emplace_back(file, file + ".p7s");
        } else {
            pairs.emplace_back(file, std::string());
        }
    }
    return pairs;
}

} // namespace ordalis::cli
