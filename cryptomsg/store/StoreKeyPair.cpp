#include "cryptomsg/store/StoreKeyPair.h"

#include "cryptomsg/store/StoreFolder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ordalis {

void WriteKeyAndCertificate(const std::string& base, std::span<const unsigned char> key,
                            std::span<const unsigned char> certificate)
{
    // The key goes first, so the certificate never shows without the key it was given with.
    const std::string keyFile = base + ".key";
    struct stat st {};
    const bool keyWasThere = ::lstat(keyFile.c_str(), &st) == 0;
    WriteStoreFile(keyFile, key);
    try {
        WriteStoreFile(base + ".crt", certificate);
    } catch (...) {
        // A key that was there before belongs to the same certificate (the names
        // are its thumbprint) and stays.
        if (!keyWasThere)
            ::unlink(keyFile.c_str());
        throw;
    }
}

} // namespace ordalis
