#include "cryptomsg/store/PbeIterations.h"

#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>

#include <algorithm>
#include <limits>

namespace ordalis {

namespace {

using PbeParamPtr = std::unique_ptr<PBEPARAM, OsslFree<PBEPARAM_free>>;
using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, OsslFree<PBE2PARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, OsslFree<PBKDF2PARAM_free>>;

void FreePkcs7Stack(STACK_OF(PKCS7) * s) { sk_PKCS7_pop_free(s, PKCS7_free); }
void FreeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * s) { sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free); }
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), OsslFree<FreePkcs7Stack>>;
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), OsslFree<FreeSafeBagStack>>;

std::int64_t Count(const ASN1_INTEGER* iterations)
{
    if (!iterations)
        return 1; // the DEFAULT of the PKCS#12 MAC's count
    std::int64_t value = 0;
    return ASN1_INTEGER_get_int64(&value, iterations) == 1 ? value : std::numeric_limits<std::int64_t>::max();
}

std::int64_t BagIterations(const STACK_OF(PKCS12_SAFEBAG) * bags)
{
    std::int64_t largest = 0;
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        if (PKCS12_SAFEBAG_get_nid(bag) == NID_pkcs8ShroudedKeyBag) {
            const X509_ALGOR* algorithm = nullptr;
            X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
            largest = std::max(largest, PbeIterations(algorithm));
        } else if (PKCS12_SAFEBAG_get_nid(bag) == NID_safeContentsBag) {
            largest = std::max(largest, BagIterations(PKCS12_SAFEBAG_get0_safes(bag)));
        }
    }
    return largest;
}

std::int64_t SafeIterations(PKCS7* safe)
{
    if (PKCS7_type_is_data(safe)) {
        SafeBagStackPtr bags(PKCS12_unpack_p7data(safe));
        return bags ? BagIterations(bags.get()) : 0;
    }
    if (PKCS7_type_is_encrypted(safe) && safe->d.encrypted && safe->d.encrypted->enc_data)
        return PbeIterations(safe->d.encrypted->enc_data->algorithm);
    return 0;
}

} // namespace

std::int64_t PbeIterations(const X509_ALGOR* algorithm)
{
    if (!algorithm)
        return 0;
    const ASN1_OBJECT* oid = nullptr;
    int parameterType = 0;
    const void* parameter = nullptr;
    X509_ALGOR_get0(&oid, &parameterType, &parameter, algorithm);
    if (parameterType != V_ASN1_SEQUENCE)
        return 0;
    const ASN1_TYPE* sequence = algorithm->parameter;
    std::int64_t count = 0;
    if (OBJ_obj2nid(oid) == NID_pbes2) {
        Pbe2ParamPtr pbes2(static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), sequence)));
        if (pbes2 && pbes2->keyfunc && OBJ_obj2nid(pbes2->keyfunc->algorithm) == NID_id_pbkdf2 &&
            pbes2->keyfunc->parameter) {
            Pbkdf2ParamPtr kdf(static_cast<PBKDF2PARAM*>(
                ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter)));
            count = kdf ? Count(kdf->iter) : 0;
        }
    } else if (PbeParamPtr pbe{static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), sequence))}) {
        count = Count(pbe->iter);
    }
    ERR_clear_error();
    return count;
}

std::int64_t LargestPkcs12Iterations(PKCS12* bundle)
{
    std::int64_t largest = 0;
    if (PKCS12_mac_present(bundle)) {
        const ASN1_INTEGER* macIterations = nullptr;
        PKCS12_get0_mac(nullptr, nullptr, nullptr, &macIterations, bundle);
        largest = Count(macIterations);
    }
    Pkcs7StackPtr safes(PKCS12_unpack_authsafes(bundle));
    for (int i = 0; safes && i < sk_PKCS7_num(safes.get()); ++i)
        largest = std::max(largest, SafeIterations(sk_PKCS7_value(safes.get(), i)));
    ERR_clear_error();
    return largest;
}

} // namespace ordalis
