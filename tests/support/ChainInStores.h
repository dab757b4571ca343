#pragma once

// A chain's parts put where a user would put them, through the store's own import.

#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/TempDir.h"

#include <filesystem>

namespace ordalis::test {

// The root into ROOT, the intermediate into CA.
inline void TrustChainRoot(const OpenSslChain& chain)
{
    ImportFile(chain.root(), {}, "ROOT");
    ImportFile(chain.intermediate(), {}, "CA");
}

// Each authority's current CRL into CA, its file put into the folder as it is:
// import takes a CRL only when its issuer's certificate is in ROOT or CA, and some
// paths under test have their intermediate only in the message, or no trusted root.
inline void PutChainCrls(const OpenSslChain& chain)
{
    const std::string folder = StoreFolderPath("CA");
    EnsureStoreFolder(folder);
    for (const std::string& crl : {chain.rootCrl(), chain.intermediateCrl()}) {
        const std::string bytes = ReadFile(crl);
        WriteStoreFile(folder + "/" + std::filesystem::path(crl).filename().string(),
                       {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    }
}

} // namespace ordalis::test
