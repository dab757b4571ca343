#include "cryptomsg/store/StoreNames.h"

#include "cryptomsg/store/StoreAdmin.h"

#include <strings.h>

namespace ordalis {

std::optional<std::string> KnownStoreName(const std::string& name)
{
    for (const char* known : {kPersonalStore, kAddressBookStore, kCaStore, kRootStore})
        if (::strcasecmp(name.c_str(), known) == 0)
            return std::string(known);
    return std::nullopt;
}

} // namespace ordalis
