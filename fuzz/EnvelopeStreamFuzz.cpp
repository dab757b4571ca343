// The envelope reader that decrypts as it reads, on arbitrary bytes read back a
// few at a time, against the personal store of the decryption target. Where
// the whole-message decryption opens the same bytes too, both give the same content.

#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageDecryptStream.h"
#include "fuzz/FuzzKeyStore.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/TrickleStream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace ordalis;

namespace {

CRYPT_DECRYPT_MESSAGE_PARA Para(HCERTSTORE* stores)
{
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = 1;
    para.rghCertStore = stores;
    return para;
}

// The content the whole-message decryption gives, or nothing.
bool DecryptWhole(const CRYPT_DECRYPT_MESSAGE_PARA& para, const std::uint8_t* data, std::size_t size,
                  std::vector<BYTE>& content)
{
    DWORD bound = 0;
    if (!CryptDecryptMessage(&para, data, static_cast<DWORD>(size), nullptr, &bound, nullptr))
        return false;
    content.resize(bound + 1);
    DWORD got = bound;
    if (!CryptDecryptMessage(&para, data, static_cast<DWORD>(size), content.data(), &got, nullptr))
        return false;
    content.resize(got);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    fuzz::KeyStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HCERTSTORE stores[] = {fuzz::KeyStore()};
    const CRYPT_DECRYPT_MESSAGE_PARA para = Para(stores);
    fuzz::TrickleStream in(data, size);
    ByteBuffer out;
    std::optional<OriginatorName> missingSender;
    const bool streamed = DecryptMessageStream(para, in, out, {}, missingSender);
    if (!streamed)
        return 0;
    // The content is never longer than the envelope that carries it.
    fuzz::Require(out.length() <= size);
    std::vector<BYTE> whole;
    if (DecryptWhole(para, data, size, whole))
        fuzz::Require(whole.size() == out.length() &&
                      (whole.empty() || std::memcmp(whole.data(), out.data(), whole.size()) == 0));
    return 0;
}
