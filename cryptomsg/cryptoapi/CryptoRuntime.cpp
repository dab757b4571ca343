// The ENGINE interface is deprecated in OpenSSL 3 but is the only way to reach
// GOST keys and CMS in Debian's engine; this file alone is built against the 1.1.1 API.
#include "cryptomsg/cryptoapi/CryptoRuntime.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"

#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <cstring>
#include <mutex>

namespace ordalis {

namespace {

bool LoadEngine()
{
    // Ignore the user's OPENSSL_CONF: a configuration that activates only a GOST
    // provider disables the default provider and breaks CMS.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
    ENGINE* engine = ENGINE_by_id("gost");
    if (!engine) {
        ERR_clear_error();
        return false;
    }
    const bool ok = ENGINE_init(engine) == 1 && ENGINE_set_default(engine, ENGINE_METHOD_ALL) == 1;
    // The functional reference taken by ENGINE_init keeps the engine loaded.
    ENGINE_free(engine);
    ERR_clear_error();
    return ok;
}

} // namespace

bool EnsureGostEngine()
{
    static std::once_flag once;
    static bool loaded = false;
    std::call_once(once, [] { loaded = LoadEngine(); });
    if (!loaded)
        SetLastError(codes::ProviderNotFound);
    return loaded;
}

std::string CryptoSelfTest()
{
    if (!EnsureGostEngine())
        return "Криптопровайдер ГОСТ недоступен: установите пакет libengine-gost-openssl";
    // RFC 6986, example 1: M1 = "012345678901234567890123456789012345678901234567890123456789012".
    static const char message[] = "012345678901234567890123456789012345678901234567890123456789012";
    static const unsigned char expected[32] = {0x9d, 0x15, 0x1e, 0xef, 0xd8, 0x59, 0x0b, 0x89, 0xda, 0xa6, 0xba,
                                               0x6c, 0xb7, 0x4a, 0xf9, 0x27, 0x5d, 0xd0, 0x51, 0x02, 0x6b, 0xb1,
                                               0x49, 0xa4, 0x52, 0xfd, 0x84, 0xe5, 0xe5, 0x7b, 0x55, 0x00};
    const EVP_MD* md = EVP_get_digestbyname("md_gost12_256");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || EVP_Digest(message, std::strlen(message), digest, &length, md, nullptr) != 1 || length != 32 ||
        std::memcmp(digest, expected, 32) != 0) {
        ERR_clear_error();
        return "Криптопровайдер ГОСТ не прошел самопроверку (Стрибог-256)";
    }
    return {};
}

} // namespace ordalis
