#include "cryptomsg/longterm/SignerRaising.h"

#include "common/Error.h"
#include "cryptomsg/longterm/SignatureTimestamp.h"

namespace ordalis {

void RaiseSigner(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const LongTermRequest& request)
{
    (void)cms;
    if (!HasSignatureTimestamp(signer))
        AddSignatureTimestamp(signer, request.tsa);
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
