// The password file reader on a file of arbitrary bytes: the password is the
// first line without its line end.

#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"
#include "tools/common/PasswordFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace ordalis;

namespace {

std::string PasswordFile() { return fuzz::ScratchFolder() + "/password"; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteFile(PasswordFile(), data, size);
    const tools::Secret secret = tools::ReadPasswordFile(PasswordFile());
    const std::string& password = secret.text();

    std::string_view line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // Lines longer than the reader takes are cut; every shorter one is read whole.
    fuzz::Require(line.size() > 4096 ? line.substr(0, password.size()) == password : password == line);
    return 0;
}
