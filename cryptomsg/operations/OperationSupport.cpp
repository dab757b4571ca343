#include "cryptomsg/operations/OperationSupport.h"

namespace ordalis {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

} // namespace ordalis
