// Packs a large file and a small signature into a 7z archive through the
// binding (the packing step after signing) and, in the same run and on the same
// files, with `7z a -t7z -mx=5 -m0=BZip2`, then prints both wall times, their
// ratio and peak memory.
//
// usage: bench_sevenzip [MiB (default 300)] [runs, best taken (default 1)]

#include "bench/support/ScratchFolder.h"
#include "common/Error.h"
#include "common/FileStream.h"
#include "sevenzip/PackSignedFile.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using namespace ordalis;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr const char* kLibrary = "7z.so";

using ordalis::bench::ScratchFolder;

// Document-like content: words from a small vocabulary with random bytes mixed
// in, so BZip2 has real work and the archive is neither trivial nor stored.
void WriteDocument(const std::string& path, std::size_t size)
{
    static const char* const kWords[] = {"подпись ", "файл ", "certificate ", "GOST ", "archive ",  "0x1F ",
                                         "report ",  "\n",    "данные ",      "7z ",   "Streebog ", "key "};
    FileStream out(UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)), path);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    std::string chunk;
    std::size_t written = 0;
    while (written < size) {
        chunk.clear();
        while (chunk.size() < (1 << 20)) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            const auto pick = static_cast<std::size_t>(state >> 59);
            if (pick < std::size(kWords))
                chunk += kWords[pick];
            else
                chunk += static_cast<char>(state >> 24);
        }
        const std::size_t n = std::min(chunk.size(), size - written);
        out.write(chunk.data(), n);
        written += n;
    }
    out.close();
}

void RunSevenZip(const std::vector<std::string>& args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> storage = args;
    std::vector<char*> argv;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Error("7z a failed");
}

double Seconds(const std::function<void()>& step)
{
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User plus system time so far, in seconds: a wall time far above it means the
// machine was busy with something else.
double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakMiB(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double FileMiB(const std::string& path) { return static_cast<double>(std::filesystem::file_size(path)) / kMiB; }

} // namespace

int main(int argc, char** argv)
{
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    try {
        ScratchFolder scratch;
        const std::string source = scratch.file("report.pdf");
        const std::string signature = source + ".sig";
        WriteDocument(source, mib << 20);
        WriteDocument(signature, 2500);
        const std::string reference = scratch.file("reference.7z");

        const double setupCpu = CpuSeconds(RUSAGE_SELF);
        double ours = 1e300;
        double theirs = 1e300;
        const auto runReference = [&] {
            std::filesystem::remove(reference);
            theirs = std::min(theirs, Seconds([&] {
                                  RunSevenZip({"7z", "a", "-t7z", "-mx=5", "-m0=BZip2", reference, source, signature});
                              }));
        };
        const auto runOurs = [&] {
            ours = std::min(ours, Seconds([&] { PackSignedFile(source, signature, kLibrary); }));
        };
        // Alternate which goes first, so neither always meets a warmer or a busier machine.
        for (int run = 0; run < runs; ++run) {
            if (run % 2 == 0) {
                runReference();
                runOurs();
            } else {
                runOurs();
                runReference();
            }
        }
        const double oursCpu = (CpuSeconds(RUSAGE_SELF) - setupCpu) / runs;
        const double theirsCpu = CpuSeconds(RUSAGE_CHILDREN) / runs;
        std::printf("7z packing of %zu MiB + signature (BZip2, level 5), best of %d\n", mib, runs);
        std::printf("  binding   %7.2f s wall %7.2f s cpu  archive %7.1f MiB  peak %6.1f MiB\n", ours, oursCpu,
                    FileMiB(signature + ".7z"), PeakMiB(RUSAGE_SELF));
        std::printf("  7z a      %7.2f s wall %7.2f s cpu  archive %7.1f MiB  peak %6.1f MiB\n", theirs, theirsCpu,
                    FileMiB(reference), PeakMiB(RUSAGE_CHILDREN));
        std::printf("  ratio     %7.3fx (target <= 1.05x)\n", ours / theirs);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_sevenzip: %s\n", e.what());
        return 1;
    }
}
