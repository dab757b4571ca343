#pragma once

// A chain's parts put where a user would put them, through the store's own import.

#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/OpenSslChain.h"

namespace ordalis::test {

// The root into ROOT, the intermediate into CA.
inline void TrustChainRoot(const OpenSslChain& chain)
{
    ImportFile(chain.root(), {}, "ROOT");
    ImportFile(chain.intermediate(), {}, "CA");
}

// Each authority's current CRL into CA.
inline void PutChainCrls(const OpenSslChain& chain)
{
    ImportFile(chain.rootCrl(), {}, "CA");
    ImportFile(chain.intermediateCrl(), {}, "CA");
}

} // namespace ordalis::test
