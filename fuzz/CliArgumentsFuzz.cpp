// ordalis-cli's command line from arbitrary arguments (the input split at zero
// bytes), and verify's pairing of files with their signatures in a folder that
// holds a few files and signatures.

#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/SignaturePairs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace ordalis;
using namespace ordalis::cli;

namespace {

constexpr std::size_t kMaxArguments = 24;

std::vector<std::string> Arguments(std::string_view input)
{
    std::vector<std::string> args;
    while (!input.empty() && args.size() < kMaxArguments) {
        const std::size_t end = input.find('\0');
        args.emplace_back(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
    return args;
}

// The same options spelt the plain way: the verb, each option once, then "--" and the files.
std::vector<std::string> Spelt(const CliOptions& options)
{
    std::vector<std::string> args{std::string(options.verb->name)};
    for (const auto& [name, value] : options.options) {
        args.push_back(name);
        if (FindCliOption(name)->value != OptionValue::None)
            args.push_back(value);
    }
    args.push_back("--");
    args.insert(args.end(), options.files().begin(), options.files().end());
    return args;
}

bool SameOptions(const CliOptions& a, const CliOptions& b)
{
    return a.verb == b.verb && a.files() == b.files() && a.options == b.options && a.help == b.help;
}

// No file is lost: each is a pair's file or its signature; the pairs' files come
// in the order given; a signature is another argument or a name beside its file.
void RequireEveryFilePaired(const std::vector<std::string>& files)
{
    const auto pairs = VerifyPairs(files);
    auto named = [&](const std::string& name) { return std::find(files.begin(), files.end(), name) != files.end(); };
    auto paired = [&](const std::string& name) {
        return std::any_of(pairs.begin(), pairs.end(),
                           [&](const auto& p) { return p.first == name || p.second == name; });
    };
    auto file = files.begin();
    for (const auto& [source, signature] : pairs) {
        file = std::find(file, files.end(), source);
        fuzz::Require(file != files.end());
        ++file;
        fuzz::Require(signature.empty() || named(signature) || signature == source + ".sig" ||
                      signature == source + ".p7s");
    }
    fuzz::Require(pairs.size() <= files.size() && std::all_of(files.begin(), files.end(), paired));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string& folder = fuzz::ScratchFolder();
    for (const char* name : {"report.pdf", "report.pdf.sig", "data.bin", "data.bin.p7s", "a.sig.sig", "x.p7s"})
        fuzz::WriteFile(folder + "/" + name, "");
    fuzz::Require(::chdir(folder.c_str()) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> args = Arguments({reinterpret_cast<const char*>(data), size});
    CliOptions options;
    try {
        options = ParseCliOptions(args);
    } catch (const UsageError& error) {
        fuzz::Require(*error.what() != '\0');
        return 0;
    }
    HelpText(args.empty() ? std::string() : args[0]);
    if (options.help)
        return 0;
    fuzz::Require(!options.files().empty());
    CliOptions again;
    try {
        again = ParseCliOptions(Spelt(options));
    } catch (const UsageError&) {
        fuzz::Require(false);
    }
    fuzz::Require(SameOptions(options, again));
    if (options.verb->name == "verify")
        RequireEveryFilePaired(options.files());
    return 0;
}
