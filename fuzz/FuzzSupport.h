#pragma once

// Pieces shared by the fuzz targets and the program that makes their seeds.

#include "cryptomsg/cryptoapi/CryptoApi.h"

#include <cstdlib>
#include <string_view>

namespace ordalis::fuzz {

// The content that every seed signature covers and every seed envelope holds;
// the verification target checks each input against these bytes.
inline constexpr std::string_view kFixedContent =
    "Ordalis fuzzing: the fixed content of every seed message.\n"
    "\xD0\x9F\xD0\xBE\xD0\xB4\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C\x00\x01\x02\xFF\r\n";

// A broken promise of the code under test: the fuzzer reports it as a crash.
inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

inline const BYTE* Bytes(std::string_view text) { return reinterpret_cast<const BYTE*>(text.data()); }

} // namespace ordalis::fuzz
