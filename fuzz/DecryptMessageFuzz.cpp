// Decryption of arbitrary bytes against a personal store that holds the keys
// the seed envelopes are addressed to, and one key they are not.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/StoreApi.h"
#include "fuzz/FuzzKeyStore.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ordalis;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    fuzz::KeyStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HCERTSTORE stores[] = {fuzz::KeyStore()};
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
