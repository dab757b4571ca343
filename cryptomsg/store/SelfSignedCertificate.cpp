#include "cryptomsg/store/SelfSignedCertificate.h"

#include "common/Error.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

namespace ordalis {

namespace {

using BignumPtr = std::unique_ptr<BIGNUM, OsslFree<BN_free>>;

[[noreturn]] void Fail(const std::string& what)
{
    char detail[256] = {0};
    ERR_error_string_n(ERR_peek_last_error(), detail, sizeof detail);
    ERR_clear_error();
    throw Error(what + (detail[0] ? std::string(": ") + detail : std::string()));
}

const GostAlgorithm* GostRowOf(KeyAlgorithm algorithm)
{
    switch (algorithm) {
    case KeyAlgorithm::Gost2001: return GostAlgorithmForKeyNid(NID_id_GostR3410_2001);
    case KeyAlgorithm::Gost2012_256: return GostAlgorithmForKeyNid(NID_id_GostR3410_2012_256);
    case KeyAlgorithm::Gost2012_512: return GostAlgorithmForKeyNid(NID_id_GostR3410_2012_512);
    case KeyAlgorithm::Rsa2048: break;
    }
    return nullptr;
}

EvpPkeyPtr GenerateKey(KeyAlgorithm algorithm)
{
    const GostAlgorithm* gost = GostRowOf(algorithm);
    const int nid = gost ? gost->keyNid : EVP_PKEY_RSA;
    if (nid != EVP_PKEY_RSA && !EnsureGostEngine())
        throw Error("Криптопровайдер ГОСТ недоступен");
    EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new_id(nid, nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1)
        Fail("Не удалось создать ключ");
    if (nid == EVP_PKEY_RSA) {
        if (EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), 2048) != 1)
            Fail("Не удалось создать ключ");
    } else if (EVP_PKEY_CTX_ctrl_str(ctx.get(), "paramset", "A") <= 0) {
        Fail("Не удалось задать параметры ключа");
    }
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_keygen(ctx.get(), &key) != 1)
        Fail("Не удалось создать ключ");
    return EvpPkeyPtr(key);
}

const EVP_MD* DigestFor(KeyAlgorithm algorithm)
{
    const GostAlgorithm* gost = GostRowOf(algorithm);
    return gost ? EVP_get_digestbyname(gost->hashName) : EVP_sha256();
}

X509NamePtr ParseSubject(const std::string& subject)
{
    X509NamePtr name(X509_NAME_new());
    std::size_t start = 0;
    while (start < subject.size()) {
        std::size_t end = subject.find(',', start);
        if (end == std::string::npos)
            end = subject.size();
        const std::string part = subject.substr(start, end - start);
        const std::size_t eq = part.find('=');
        if (eq == std::string::npos || eq == 0)
            throw Error("Неверное имя субъекта: " + subject);
        std::string type = part.substr(0, eq);
        type.erase(0, type.find_first_not_of(' '));
        const std::string value = part.substr(eq + 1);
        if (X509_NAME_add_entry_by_txt(name.get(), type.c_str(), MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0) != 1)
            Fail("Неверное имя субъекта: " + subject);
        start = end + 1;
    }
    return name;
}

void SetSerial(X509* certificate, const std::string& serialHex)
{
    BIGNUM* raw = nullptr;
    if (serialHex.empty()) {
        unsigned char bytes[16];
        RAND_bytes(bytes, sizeof bytes);
        bytes[0] &= 0x7F; // keep it positive with 16 significant bytes
        bytes[0] |= 0x40;
        raw = BN_bin2bn(bytes, sizeof bytes, nullptr);
    } else if (BN_hex2bn(&raw, serialHex.c_str()) == 0) {
        throw Error("Неверный серийный номер: " + serialHex);
    }
    BignumPtr serial(raw);
    if (!serial || !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)))
        Fail("Не удалось задать серийный номер");
}

} // namespace

bool ParseKeyAlgorithm(const std::string& name, KeyAlgorithm& algorithm)
{
    if (name == "gost2001")
        algorithm = KeyAlgorithm::Gost2001;
    else if (name == "gost2012_256")
        algorithm = KeyAlgorithm::Gost2012_256;
    else if (name == "gost2012_512")
        algorithm = KeyAlgorithm::Gost2012_512;
    else
        return false;
    return true;
}

KeyAndCertificate MakeSelfSignedCertificate(const CertificateRequest& request)
{
    KeyAndCertificate result;
    result.key = GenerateKey(request.algorithm);
    result.certificate.reset(X509_new());
    X509* x = result.certificate.get();
    X509NamePtr name = ParseSubject(request.subject);
    if (!x || X509_set_version(x, 2) != 1 || X509_set_subject_name(x, name.get()) != 1 ||
        X509_set_issuer_name(x, name.get()) != 1 || X509_set_pubkey(x, result.key.get()) != 1)
        Fail("Не удалось создать сертификат");
    SetSerial(x, request.serialHex);
    if (!X509_gmtime_adj(X509_getm_notBefore(x), request.notBeforeOffsetSeconds) ||
        !X509_time_adj_ex(X509_getm_notAfter(x), static_cast<int>(request.validDays), request.notBeforeOffsetSeconds,
                          nullptr))
        Fail("Не удалось задать срок действия");

    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, x, x, nullptr, nullptr, 0);
    for (const auto& [nid, value] :
         {std::pair{NID_basic_constraints, "critical,CA:FALSE"},
          std::pair{NID_key_usage, "digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment,keyAgreement"},
          std::pair{NID_subject_key_identifier, "hash"}}) {
        std::unique_ptr<X509_EXTENSION, OsslFree<X509_EXTENSION_free>> ext(
            X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
        if (!ext || X509_add_ext(x, ext.get(), -1) != 1)
            Fail("Не удалось добавить расширение сертификата");
    }
    if (X509_sign(x, result.key.get(), DigestFor(request.algorithm)) <= 0)
        Fail("Не удалось подписать сертификат");
    return result;
}

} // namespace ordalis
