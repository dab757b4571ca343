#pragma once

// The GOST engine never frees what it allocates while it derives the key of a
// key-agreement recipient whose originator comes as a public key (about 150
// bytes a decryption, inside gost.so). A test that decrypts such an envelope
// holds this while it does, so that LeakSanitizer ignores what is allocated
// meanwhile; its stacks stop in libcrypto, so a suppression cannot name it.

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace ordalis::test {

struct IgnoredEngineLeaks {
#if defined(__SANITIZE_ADDRESS__)
    IgnoredEngineLeaks() { __lsan_disable(); }
    ~IgnoredEngineLeaks() { __lsan_enable(); }
    IgnoredEngineLeaks(const IgnoredEngineLeaks&) = delete;
    IgnoredEngineLeaks& operator=(const IgnoredEngineLeaks&) = delete;
#endif
};

} // namespace ordalis::test
