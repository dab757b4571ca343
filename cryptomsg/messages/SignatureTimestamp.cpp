#include "cryptomsg/messages/SignatureTimestamp.h"

#include "common/Error.h"
#include "cryptomsg/messages/ServiceError.h"

namespace ordalis {

const EVP_MD* SignerDigestOf(CMS_SignerInfo* signer)
{
    X509_ALGOR* digest = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
    return digest ? EVP_get_digestbyobj(digest->algorithm) : nullptr;
}

std::span<const unsigned char> SignatureValueOf(CMS_SignerInfo* signer)
{
    const ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
    if (!value)
        return {};
    return {ASN1_STRING_get0_data(value), static_cast<std::size_t>(ASN1_STRING_length(value))};
}

bool HasSignatureTimestamp(CMS_SignerInfo* signer)
{
    return CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1) >= 0;
}

void AddUnsignedAttribute(CMS_SignerInfo* signer, int nid, std::span<const unsigned char> der)
{
    // A SEQUENCE-typed value is kept as its whole encoding and written out as it is.
    if (CMS_unsigned_add1_attr_by_NID(signer, nid, V_ASN1_SEQUENCE, der.data(), static_cast<int>(der.size())) != 1)
        throw Error("Не удалось добавить атрибут подписи: " + DrainOpenSslWords());
}

void AddSignatureTimestamp(CMS_SignerInfo* signer, const TimestampService& tsa)
{
    const EVP_MD* md = SignerDigestOf(signer);
    const std::span<const unsigned char> value = SignatureValueOf(signer);
    if (!md || value.empty())
        throw Error("Не удалось определить хэш или значение подписи для штампа времени");
    AddUnsignedAttribute(signer, NID_id_smime_aa_timeStampToken, RequestTimestamp(tsa, md, value));
}

} // namespace ordalis
