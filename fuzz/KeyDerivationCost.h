#pragma once

// Password-based key derivation costs what its iteration count says: one input
// asking for 2^31 iterations would stall a run for hours. The targets that open
// keys and bundles refuse such inputs before the product sees them (the
// product's own bound, when it has one, is far above what a fuzzer can afford).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace ordalis::fuzz {

// Iteration counts at most this (and small scrypt costs) are cheap.
inline constexpr long long kMaxIterations = 16;

// Whether every key derivation that opening the file could run, with any of the
// passwords, is cheap: the MAC and encrypted parts of a PKCS#12 bundle (and
// the keys inside them), the "ENCRYPTED PRIVATE KEY" blocks of PEM text.
// A null password stands for the absent one, which PKCS#12 tells from "".
bool CheapToOpen(std::span<const unsigned char> file, const std::vector<const char*>& passwords);

} // namespace ordalis::fuzz
