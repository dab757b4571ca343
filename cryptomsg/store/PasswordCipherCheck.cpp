#include "cryptomsg/store/PasswordCipherCheck.h"

#include "cryptomsg/cryptoapi/ContentCipherCheck.h"
#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/err.h>

#include <memory>
#include <vector>

namespace ordalis {

namespace {

void FreePkcs7Stack(STACK_OF(PKCS7) * s) { sk_PKCS7_pop_free(s, PKCS7_free); }
void FreeBagStack(STACK_OF(PKCS12_SAFEBAG) * s) { sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free); }
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), OsslFree<FreePkcs7Stack>>;
using BagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), OsslFree<FreeBagStack>>;
using Pbe2Ptr = std::unique_ptr<PBE2PARAM, OsslFree<PBE2PARAM_free>>;

bool BagsAreSound(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth)
{
    // Deeper nesting than any bundle needs is refused rather than followed.
    if (depth > 4)
        return false;
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        const int type = PKCS12_SAFEBAG_get_nid(bag);
        if (type == NID_pkcs8ShroudedKeyBag) {
            const X509_ALGOR* algorithm = nullptr;
            X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
            if (!PasswordCipherIsSound(algorithm))
                return false;
        } else if (type == NID_safeContentsBag && !BagsAreSound(PKCS12_SAFEBAG_get0_safes(bag), depth + 1)) {
            return false;
        }
    }
    return true;
}

bool EncryptedSafeIsSound(PKCS7* safe, const std::string& password)
{
    if (!safe->d.encrypted || !safe->d.encrypted->enc_data ||
        !PasswordCipherIsSound(safe->d.encrypted->enc_data->algorithm))
        return false;
    // PKCS12_parse tries the absent password too when given an empty one.
    const std::vector<const char*> tried =
        password.empty() ? std::vector<const char*>{"", nullptr} : std::vector<const char*>{password.c_str()};
    for (const char* given : tried) {
        const BagStackPtr bags(PKCS12_unpack_p7encdata(safe, given, static_cast<int>(password.size())));
        if (bags && !BagsAreSound(bags.get(), 0))
            return false;
    }
    return true;
}

} // namespace

bool PasswordCipherIsSound(const X509_ALGOR* algorithm)
{
    if (!algorithm || OBJ_obj2nid(algorithm->algorithm) != NID_pbes2)
        return true;
    const Pbe2Ptr pbe2(
        static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
    ERR_clear_error();
    // Parameters that do not decode are refused by OpenSSL itself before any cipher reads them.
    return !pbe2 || !pbe2->encryption || CipherParametersAreSound(pbe2->encryption);
}

bool Pkcs12CiphersAreSound(PKCS12* bundle, const std::string& password)
{
    const Pkcs7StackPtr safes(PKCS12_unpack_authsafes(bundle));
    bool sound = true;
    for (int i = 0; sound && safes && i < sk_PKCS7_num(safes.get()); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes.get(), i);
        const int type = OBJ_obj2nid(safe->type);
        if (type == NID_pkcs7_data) {
            const BagStackPtr bags(PKCS12_unpack_p7data(safe));
            sound = !bags || BagsAreSound(bags.get(), 0);
        } else if (type == NID_pkcs7_encrypted) {
            sound = EncryptedSafeIsSound(safe, password);
        }
    }
    ERR_clear_error();
    return sound;
}

} // namespace ordalis
