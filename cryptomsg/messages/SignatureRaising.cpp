#include "cryptomsg/messages/SignatureRaising.h"

#include "common/Error.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/SignerRaising.h"

#include <openssl/err.h>

namespace ordalis {

namespace {

CmsPtr DecodeSignedData(std::span<const unsigned char> der)
{
    const unsigned char* cursor = der.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())));
    if (!cms || cursor != der.data() + der.size() || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed)
        throw Error("Файл не является подписью: " + DrainOpenSslWords());
    return cms;
}

// Each signer must be CAdES and hold over its signed attributes; which one does not is said by its number.
void CheckSigners(CMS_ContentInfo* cms, const char* what)
{
    CMS_set1_signers_certs(cms, nullptr, 0);
    ERR_clear_error();
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    const int count = signers ? sk_CMS_SignerInfo_num(signers) : 0;
    if (count <= 0)
        throw Error("В подписи нет подписавших");
    for (int i = 0; i < count; ++i) {
        CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
        const std::string number = std::to_string(i + 1);
        if (CMS_signed_get_attr_count(signer) <= 0)
            throw Error("Подписавший " + number + " без подписанных атрибутов: это не подпись CAdES");
        X509* certificate = nullptr;
        CMS_SignerInfo_get0_algs(signer, nullptr, &certificate, nullptr, nullptr);
        if (!certificate)
            throw Error("Подпись не содержит сертификата подписавшего " + number);
        if (CMS_SignerInfo_verify(signer) != 1)
            throw Error("Подпись подписавшего " + number + " " + what + ": " + DrainOpenSslWords());
    }
}

std::vector<unsigned char> Encoded(CMS_ContentInfo* cms)
{
    unsigned char* out = nullptr;
    const int length = i2d_CMS_ContentInfo(cms, &out);
    if (length <= 0)
        throw Error("Не удалось закодировать подпись: " + DrainOpenSslWords());
    std::vector<unsigned char> der(out, out + length);
    OPENSSL_free(out);
    return der;
}

} // namespace

std::vector<unsigned char> RaiseSignature(std::span<const unsigned char> der, const LongTermRequest& request)
{
    EnsureGostEngine();
    CmsPtr cms = DecodeSignedData(der);
    CheckSigners(cms.get(), "неверна");
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i)
        RaiseSigner(cms.get(), sk_CMS_SignerInfo_value(signers, i), request);
    std::vector<unsigned char> raised = Encoded(cms.get());
    // Written again, a signer whose attributes were not in DER order would no longer match its signature.
    CmsPtr reread = DecodeSignedData(raised);
    CheckSigners(reread.get(), "изменилась бы при записи, подпись не дополнена");
    return raised;
}

} // namespace ordalis
