#pragma once

#include <string>

namespace ordalis {

// Loads the GOST algorithms into this process, once. Every entry point that
// needs them calls EnsureGostEngine(); a false result has set the last error
// to the provider-not-available code.
bool EnsureGostEngine();

// Loads the engine and checks a known answer (Streebog-256 of RFC 6986's first
// message). Returns an empty text when all is well, else what is wrong, for
// main() to say plainly at start.
std::string CryptoSelfTest();

} // namespace ordalis
