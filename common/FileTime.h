#pragma once

#include <cstdint>
#include <ctime>

namespace ordalis {

// A count of 100-nanosecond intervals since 1 January 1601 (UTC), split in two halves.
struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

inline constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL;

inline FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds = 0)
{
    const auto ticks = static_cast<std::uint64_t>(kFileTimeUnixEpoch + seconds * 10000000LL + nanoseconds / 100);
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

inline std::int64_t FileTimeTicks(const FILETIME& t)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

} // namespace ordalis
