#include "cryptomsg/operations/OperationSupport.h"

#include "common/Error.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"

#include <limits>

namespace ordalis {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void RefuseLargerThanOneCall(std::size_t length)
{
    if (length > std::numeric_limits<DWORD>::max())
        throw Error(texts::kFileTooLarge);
}

} // namespace ordalis
