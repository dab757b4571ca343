// Encodes and decodes a large block of random bytes through the codec and,
// in the same run and on the same data, through coreutils base64, then
// prints the throughput of each and their ratio.
//
// usage: bench_armour [MiB (default 300)] [runs, best taken (default 3)]

#include "armour/Armour.h"
#include "bench/support/ScratchFolder.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"

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

extern char** environ;

namespace {

using namespace ordalis;
using Clock = std::chrono::steady_clock;

using ordalis::bench::ScratchFolder;

ByteBuffer RandomBytes(std::size_t size)
{
    ByteBuffer buffer;
    buffer.setSize(static_cast<std::int64_t>(size));
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (std::size_t i = 0; i < size; i += 8) {
        // splitmix64: fast, and incompressible enough for a codec
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        std::memcpy(buffer.data() + i, &z, std::min<std::size_t>(8, size - i));
    }
    return buffer;
}

// The best wall-clock time of runs calls of step, in seconds.
double BestOf(int runs, const std::function<void()>& step)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        step();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Runs base64 with the given option, from one file to another, and waits for it.
void RunBase64(const char* option, const std::string& from, const std::string& to)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, from.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char program[] = "base64";
    std::string opt = option;
    char* argv[] = {program, opt.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Error(std::string("base64 ") + option + " failed");
}

bool SameBytes(const ByteBuffer& a, const ByteBuffer& b)
{
    return a.length() == b.length() && std::memcmp(a.data(), b.data(), a.length()) == 0;
}

bool SameFile(const std::string& path, const ByteBuffer& expected)
{
    ByteBuffer content;
    content.loadFromFile(path);
    return SameBytes(content, expected);
}

int Fail(const char* why)
{
    std::fprintf(stderr, "bench_armour: %s\n", why);
    return 1;
}

struct Speeds {
    double encode; // MiB/s
    double decode;
};

// Into fresh output buffers, as the program writes them, or into the same
// buffers again, which leaves out the kernel's cost of new pages.
Speeds TimeCodec(std::size_t mib, int runs, bool fresh, ByteBuffer& data, ByteBuffer& text, ByteBuffer& decoded)
{
    const auto size = static_cast<double>(mib);
    const double encode = BestOf(runs, [&] {
        if (fresh)
            text = ByteBuffer();
        text.setPosition(0);
        data.setPosition(0);
        ArmourEncode(data, text);
    });
    const double decode = BestOf(runs, [&] {
        if (fresh)
            decoded = ByteBuffer();
        decoded.setPosition(0);
        text.setPosition(0);
        ArmourDecode(text, decoded);
    });
    return {size / encode, size / decode};
}

// coreutils from the data file to a text file and back, or to /dev/null,
// which shows its computing speed alone.
Speeds TimeCoreutils(std::size_t mib, int runs, const ScratchFolder& folder, bool toNull)
{
    const auto size = static_cast<double>(mib);
    const std::string text = toNull ? "/dev/null" : folder.file("text");
    const std::string back = toNull ? "/dev/null" : folder.file("back");
    const double encode = BestOf(runs, [&] { RunBase64("-w76", folder.file("data"), text); });
    const double decode = BestOf(runs, [&] { RunBase64("-d", folder.file("text"), back); });
    return {size / encode, size / decode};
}

void Report(const Speeds& ours, const Speeds& theirs, const Speeds& oursReused, const Speeds& theirsToNull)
{
    std::printf("encode  ordalis %8.1f MiB/s   coreutils %8.1f MiB/s   ratio %5.2f\n", ours.encode, theirs.encode,
                ours.encode / theirs.encode);
    std::printf("decode  ordalis %8.1f MiB/s   coreutils %8.1f MiB/s   ratio %5.2f\n", ours.decode, theirs.decode,
                ours.decode / theirs.decode);
    std::printf("ratio = ordalis speed / coreutils speed; above 1 means ordalis is faster\n");
    std::printf("ordalis into reused buffers:    encode %.1f MiB/s, decode %.1f MiB/s\n", oursReused.encode,
                oursReused.decode);
    std::printf("coreutils writing to /dev/null: encode %.1f MiB/s, decode %.1f MiB/s\n", theirsToNull.encode,
                theirsToNull.decode);
}

long PeakMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

int Bench(std::size_t mib, int runs)
{
    ByteBuffer data = RandomBytes(mib * 1024 * 1024);
    ScratchFolder folder;
    data.saveToFile(folder.file("data"));

    ByteBuffer text, decoded;
    const Speeds ours = TimeCodec(mib, runs, true, data, text, decoded);
    const Speeds oursReused = TimeCodec(mib, runs, false, data, text, decoded);
    const long peak = PeakMiB();
    if (!SameBytes(decoded, data))
        return Fail("the codec's round trip differs from the original");
    decoded = ByteBuffer();

    // The first run leaves the text file that the decoding runs read.
    const Speeds theirs = TimeCoreutils(mib, runs, folder, false);
    const Speeds theirsToNull = TimeCoreutils(mib, runs, folder, true);
    if (!SameFile(folder.file("back"), data))
        return Fail("coreutils' round trip differs from the original");
    // The codec must also read coreutils' LF-only text.
    ByteBuffer coreText;
    coreText.loadFromFile(folder.file("text"));
    ArmourDecode(coreText, decoded);
    if (!SameBytes(decoded, data))
        return Fail("coreutils' text decodes to other bytes");

    std::printf("%zu MiB of random bytes, best of %d runs; text %zu bytes (ordalis, CR LF) / %zu (coreutils, LF)\n",
                mib, runs, text.length(), coreText.length());
    Report(ours, theirs, oursReused, theirsToNull);
    std::printf("peak memory of the codec runs (data, text and decoded copy held): %ld MiB\n", peak);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300;
        const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
        return Bench(mib, std::max(runs, 1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_armour: %s\n", e.what());
        return 2;
    }
}
