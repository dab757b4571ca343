#pragma once

#include <cstdint>

namespace ordalis {

// The last-error code of the calling thread, set by the platform layers when a
// call fails and read by the caller right after it.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

} // namespace ordalis
