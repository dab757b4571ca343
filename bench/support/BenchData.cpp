#include "bench/support/BenchData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace ordalis::bench {

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

} // namespace

void WriteData(const std::string& path, std::size_t size)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint64_t> piece(kMiB / 8);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (std::size_t done = 0; done < size;) {
        for (std::uint64_t& word : piece) {
            std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
            word = z ^ (z >> 31);
        }
        const std::size_t n = std::min(size - done, kMiB);
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(n));
        done += n;
    }
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

bool SameFiles(const std::string& a, const std::string& b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(kMiB), q(kMiB);
    while (x && y) {
        x.read(p.data(), kMiB);
        y.read(q.data(), kMiB);
        if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), static_cast<std::size_t>(x.gcount())) != 0)
            return false;
    }
    return x.eof() && y.eof();
}

} // namespace ordalis::bench
