#pragma once

#include <cstdint>

namespace ordalis {

// Drains OpenSSL's error queue and returns the result code that best names the
// first failure in it (ASN.1 decoding errors, bad signatures, missing
// algorithms, out of memory when an allocation failed), or fallback when nothing
// more specific is known.
std::uint32_t DrainOpenSslErrors(std::uint32_t fallback);

// Drains the queue, sets the last error to the code DrainOpenSslErrors gives and returns false.
bool FailFromOpenSsl(std::uint32_t fallback);

// Clears the queue, sets the last error to code and returns false.
bool FailWith(std::uint32_t code);

// Clears the queue when it goes: decoders tried on the way queue errors even
// when all goes well, and a later failure must not report them as its reason.
class ClearErrorsOnExit {
public:
    ClearErrorsOnExit() = default;
    ClearErrorsOnExit(const ClearErrorsOnExit&) = delete;
    ClearErrorsOnExit& operator=(const ClearErrorsOnExit&) = delete;
    ~ClearErrorsOnExit();
};

} // namespace ordalis
