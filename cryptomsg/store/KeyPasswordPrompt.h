#pragma once

#include "cryptomsg/operations/DesktopSeam.h"

namespace ordalis {

// While it lives, protected private keys acquired on this thread ask the given
// seam for their password; without one they cannot be opened.
class ScopedPasswordPrompt {
public:
    explicit ScopedPasswordPrompt(DesktopSeam& seam);
    ScopedPasswordPrompt(const ScopedPasswordPrompt&) = delete;
    ScopedPasswordPrompt& operator=(const ScopedPasswordPrompt&) = delete;
    ~ScopedPasswordPrompt();

    // The seam in force on this thread, or null.
    static DesktopSeam* current();

private:
    DesktopSeam* m_previous;
};

} // namespace ordalis
