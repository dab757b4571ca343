#include "fuzz/FuzzKeyStore.h"

#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace ordalis::fuzz {

namespace {

namespace fs = std::filesystem;

std::string& DataHome()
{
    static std::string path;
    return path;
}

void RemoveDataHome()
{
    std::error_code ignored;
    fs::remove_all(DataHome(), ignored);
}

HCERTSTORE MakeStore()
{
    std::string pattern = (fs::temp_directory_path() / "ordalis-fuzz-XXXXXX").string();
    Require(::mkdtemp(pattern.data()) != nullptr);
    DataHome() = pattern;
    std::atexit(RemoveDataHome);
    ::setenv("XDG_DATA_HOME", pattern.c_str(), 1);

    const PasswordSource noPassword = [](const std::string&, int) { return std::optional<std::string>(); };
    for (const auto& entry : fs::directory_iterator(ORDALIS_FUZZ_KEYS))
        if (entry.path().extension() == ".pem")
            ImportFile(entry.path().string(), noPassword);
    CertificateRequest request;
    request.subject = "CN=Not a recipient,O=Ordalis fuzzing";
    const KeyAndCertificate stranger = MakeSelfSignedCertificate(request);
    AddToStore(stranger.certificate.get(), stranger.key.get(), "");

    HCERTSTORE store = CertOpenSystemStoreA(nullptr, kPersonalStore);
    Require(store != nullptr);
    return store;
}

} // namespace

HCERTSTORE KeyStore()
{
    static HCERTSTORE const store = MakeStore();
    return store;
}

} // namespace ordalis::fuzz
