#include "fuzz/KeyDerivationCost.h"

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/PasswordCipherCheck.h"
#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/asn1t.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <cstring>
#include <memory>

namespace ordalis::fuzz {

namespace {

void FreePkcs7Stack(STACK_OF(PKCS7) * s) { sk_PKCS7_pop_free(s, PKCS7_free); }
void FreeBagStack(STACK_OF(PKCS12_SAFEBAG) * s) { sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free); }
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), OsslFree<FreePkcs7Stack>>;
using BagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), OsslFree<FreeBagStack>>;
using Pbe2Ptr = std::unique_ptr<PBE2PARAM, OsslFree<PBE2PARAM_free>>;
using Pbkdf2Ptr = std::unique_ptr<PBKDF2PARAM, OsslFree<PBKDF2PARAM_free>>;
using ScryptPtr = std::unique_ptr<SCRYPT_PARAMS, OsslFree<SCRYPT_PARAMS_free>>;
using PbeParamPtr = std::unique_ptr<PBEPARAM, OsslFree<PBEPARAM_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, OsslFree<X509_SIG_free>>;

// A count that is absent means one; one that does not fit 64 bits is not cheap.
bool Within(const ASN1_INTEGER* count, long long bound)
{
    if (!count)
        return true;
    int64_t value = 0;
    return ASN1_INTEGER_get_int64(&value, count) == 1 && value <= bound;
}

bool CheapKeyFunction(const X509_ALGOR* keyFunction)
{
    const int nid = OBJ_obj2nid(keyFunction->algorithm);
    if (nid == NID_id_pbkdf2) {
        const Pbkdf2Ptr kdf(
            static_cast<PBKDF2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), keyFunction->parameter)));
        return !kdf || Within(kdf->iter, kMaxIterations);
    }
    if (nid == NID_id_scrypt) {
        const ScryptPtr kdf(static_cast<SCRYPT_PARAMS*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(SCRYPT_PARAMS), keyFunction->parameter)));
        return !kdf || (Within(kdf->costParameter, 1024) && Within(kdf->blockSize, 8) &&
                        Within(kdf->parallelizationParameter, 2));
    }
    return true;
}

// An encryption or MAC algorithm of a bundle or key: PBES2 names its key
// function, the PKCS#5 v1 and PKCS#12 schemes carry a count of their own.
bool CheapAlgorithm(const X509_ALGOR* algorithm)
{
    if (!algorithm)
        return true;
    if (OBJ_obj2nid(algorithm->algorithm) == NID_pbes2) {
        const Pbe2Ptr pbe2(
            static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
        return !pbe2 || !pbe2->keyfunc || CheapKeyFunction(pbe2->keyfunc);
    }
    const PbeParamPtr pbe(
        static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
    return !pbe || Within(pbe->iter, kMaxIterations);
}

bool CheapSealedKey(const X509_SIG* sealed)
{
    const X509_ALGOR* algorithm = nullptr;
    X509_SIG_get0(sealed, &algorithm, nullptr);
    return CheapAlgorithm(algorithm);
}

bool CheapBags(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth)
{
    // Nested safe contents are followed a few levels only: deeper ones cost nothing to refuse.
    if (depth > 4)
        return false;
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_pkcs8ShroudedKeyBag:
            if (!CheapSealedKey(PKCS12_SAFEBAG_get0_pkcs8(bag)))
                return false;
            break;
        case NID_safeContentsBag:
            if (!CheapBags(PKCS12_SAFEBAG_get0_safes(bag), depth + 1))
                return false;
            break;
        default: break;
        }
    }
    return true;
}

bool CheapEncryptedSafe(PKCS7* safe, const std::vector<const char*>& passwords)
{
    if (!safe->d.encrypted || !safe->d.encrypted->enc_data || !CheapAlgorithm(safe->d.encrypted->enc_data->algorithm))
        return false;
    // The product refuses a cipher it cannot read safely before decrypting anything.
    if (!PasswordCipherIsSound(safe->d.encrypted->enc_data->algorithm))
        return true;
    for (const char* password : passwords) {
        const int length = password ? static_cast<int>(std::strlen(password)) : 0;
        const BagStackPtr bags(PKCS12_unpack_p7encdata(safe, password, length));
        if (bags && !CheapBags(bags.get(), 0))
            return false;
    }
    return true;
}

bool CheapPkcs12(PKCS12* bundle, const std::vector<const char*>& passwords)
{
    const ASN1_INTEGER* macIterations = nullptr;
    if (PKCS12_mac_present(bundle)) {
        PKCS12_get0_mac(nullptr, nullptr, nullptr, &macIterations, bundle);
        if (!Within(macIterations, kMaxIterations))
            return false;
    }
    const Pkcs7StackPtr safes(PKCS12_unpack_authsafes(bundle));
    for (int i = 0; safes && i < sk_PKCS7_num(safes.get()); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes.get(), i);
        const int type = OBJ_obj2nid(safe->type);
        if (type == NID_pkcs7_data) {
            const BagStackPtr bags(PKCS12_unpack_p7data(safe));
            if (bags && !CheapBags(bags.get(), 0))
                return false;
        } else if (type == NID_pkcs7_encrypted && !CheapEncryptedSafe(safe, passwords)) {
            return false;
        }
    }
    return true;
}

bool CheapPem(std::span<const unsigned char> text)
{
    for (const PemBlock& block : ReadPemBlocks(text)) {
        if (block.name != "ENCRYPTED PRIVATE KEY")
            continue;
        const unsigned char* p = block.data.data();
        const X509SigPtr sealed(d2i_X509_SIG(nullptr, &p, static_cast<long>(block.data.size())));
        if (sealed && !CheapSealedKey(sealed.get()))
            return false;
    }
    return true;
}

} // namespace

bool CheapToOpen(std::span<const unsigned char> file, const std::vector<const char*>& passwords)
{
    bool cheap = true;
    if (LooksLikePem(file)) {
        cheap = CheapPem(file);
    } else {
        // Trailing bytes do not matter here: a bundle the product would refuse is not opened.
        const unsigned char* p = file.data();
        const Pkcs12Ptr bundle(d2i_PKCS12(nullptr, &p, static_cast<long>(file.size())));
        cheap = !bundle || CheapPkcs12(bundle.get(), passwords);
    }
    ERR_clear_error();
    return cheap;
}

} // namespace ordalis::fuzz
