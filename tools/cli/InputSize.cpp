#include "tools/cli/InputSize.h"

#include "common/Error.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "tools/cli/CliTexts.h"

#include <sys/stat.h>

namespace ordalis::cli {

void CheckInputSize(const std::string& path)
{
    // Caught before reading: past the limit the message functions answer only
    // "invalid argument", and past 4 GiB the operations speak of the window's limit.
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size > kMaxContentSize)
        throw Error(tools::Say(texts::kFileTooBig, {path, std::to_string(size), std::to_string(kMaxContentSize)}));
}

} // namespace ordalis::cli
