#include "tools/cli/InputSize.h"

#include "common/Error.h"
#include "common/FileStream.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/operations/DecryptStreamed.h"
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

void CheckEnvelopeSize(const std::string& path)
{
    try {
        FileStream envelope = FileStream::openRead(path);
        if (CanDecryptStreamed(envelope))
            return;
    } catch (const InOutError&) {
        return; // the operation reports it as it opens the file
    }
    CheckInputSize(path);
}

} // namespace ordalis::cli
