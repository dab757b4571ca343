#pragma once

#include <cstddef>
#include <string>

namespace ordalis::bench {

// Writes size pseudo-random bytes (splitmix64) in pieces, never holding them all.
void WriteData(const std::string& path, std::size_t size);

// Whether two files hold the same bytes, read a piece at a time.
bool SameFiles(const std::string& a, const std::string& b);

} // namespace ordalis::bench
