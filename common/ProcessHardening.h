#pragma once

namespace ordalis {

// Keeps the process from leaving a core dump (which would hold passwords and
// private keys read into memory) and from being read by another process of the
// same user through ptrace or /proc. Called once, early in main.
void DisableCoreDumps();

} // namespace ordalis
