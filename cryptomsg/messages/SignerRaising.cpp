#include "cryptomsg/messages/SignerRaising.h"

#include "common/Error.h"
#include "cryptomsg/messages/SignatureTimestamp.h"
#include "cryptomsg/messages/ValidationData.h"

namespace ordalis {

void RaiseSigner(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const LongTermRequest& request)
{
    if (!HasSignatureTimestamp(signer))
        AddSignatureTimestamp(signer, request.tsa);
    const bool hasValidationData = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_ets_escTimeStamp, -1) >= 0;
    if (request.level == LongTermLevel::XLong1 && !hasValidationData)
        AddValidationData(cms, signer, request);
}

void RaiseNewestSigner(CMS_ContentInfo* cms, const LongTermRequest& request)
{
    // A signer is pushed at the end of the set; the encoding sorts it only when written.
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    const int count = signers ? sk_CMS_SignerInfo_num(signers) : 0;
    if (count <= 0)
        throw Error("В сообщении нет подписи");
    RaiseSigner(cms, sk_CMS_SignerInfo_value(signers, count - 1), request);
}

} // namespace ordalis
