// Decryption of arbitrary bytes against a personal store that holds the keys
// the seed envelopes are addressed to, and one key they are not.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace ordalis;

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

// A fresh XDG_DATA_HOME with a personal store made of the committed identities
// (fuzz/keys, named by ORDALIS_FUZZ_KEYS) and a new certificate of no seed.
HCERTSTORE MakeStore()
{
    std::string pattern = (fs::temp_directory_path() / "ordalis-fuzz-XXXXXX").string();
    fuzz::Require(::mkdtemp(pattern.data()) != nullptr);
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
    fuzz::Require(store != nullptr);
    return store;
}

// Open for the whole run and never closed: what it holds belongs to the GOST
// engine, which must not free anything after OpenSSL's own clean-up at exit.
HCERTSTORE Store()
{
    static HCERTSTORE const store = MakeStore();
    return store;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    Store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HCERTSTORE stores[] = {Store()};
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = 1;
    para.rghCertStore = stores;

    DWORD bound = 0;
    if (!CryptDecryptMessage(&para, data, static_cast<DWORD>(size), nullptr, &bound, nullptr))
        return 0;
    std::vector<BYTE> content(bound + 1);
    DWORD got = bound;
    PCCERT_CONTEXT exchange = nullptr;
    const BOOL opened = CryptDecryptMessage(&para, data, static_cast<DWORD>(size), content.data(), &got, &exchange);
    // The size pass promised room enough, and the decryptor is named on success only.
    fuzz::Require(opened ? got <= bound && exchange != nullptr
                         : GetLastError() != codes::ErrorMoreData && exchange == nullptr);
    CertFreeCertificateContext(exchange);
    return 0;
}
