#pragma once

// The personal store of the decryption targets: the committed identities
// (fuzz/keys, named by ORDALIS_FUZZ_KEYS) the seed envelopes are addressed to,
// and one new certificate of no seed, in a fresh XDG_DATA_HOME.

#include "cryptomsg/cryptoapi/CryptoApi.h"

namespace ordalis::fuzz {

// Made at the first call and open for the whole run, never closed: what it
// holds belongs to the GOST engine, which must not free anything after
// OpenSSL's own clean-up at exit.
HCERTSTORE KeyStore();

} // namespace ordalis::fuzz
