#pragma once

// Writing seed files, shared by the parts of the seed maker.

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace ordalis::fuzz {

using Bytes = std::vector<unsigned char>;

inline void WriteSeed(const std::filesystem::path& file, const Bytes& bytes)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

inline Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

} // namespace ordalis::fuzz
