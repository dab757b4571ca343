#include "cryptomsg/operations/PemMessage.h"

#include "cryptomsg/operations/MessageFileForm.h"
#include "cryptomsg/store/StoreFileFormats.h"

namespace ordalis {

std::optional<std::vector<unsigned char>> PemMessageDer(std::span<const unsigned char> bytes)
{
    if (!BeginsAsPem(bytes))
        return std::nullopt;
    for (const PemBlock& block : ReadPemBlocks(bytes))
        if (block.name == "CMS" || block.name == "PKCS7" || block.name == "PKCS #7 SIGNED DATA")
            return std::vector<unsigned char>(block.data.begin(), block.data.end());
    return std::nullopt;
}

} // namespace ordalis
