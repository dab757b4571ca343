// CryptVerifyDetachedMessageSignature: checks one signer of a SignedData over
// content given apart from it; an adapter over VerifyDetached (MessageCore.h).

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/store/CertStoreInternal.h"

namespace ordalis {

namespace {

// Fields the adapter does not implement: the signer's certificate always
// comes from the message, and the engine needs no provider of the caller's.
bool SetsUnsupportedField(const CRYPT_VERIFY_MESSAGE_PARA& para)
{
    return para.hCryptProv || para.pfnGetSignerCertificate;
}

bool ParaIsValid(const CRYPT_VERIFY_MESSAGE_PARA* para)
{
    return para && para->cbSize >= kVerifyMessageParaSize && IsMessageEncoding(para->dwMsgAndCertEncodingType) &&
           !SetsUnsupportedField(*para);
}

} // namespace

BOOL CryptVerifyDetachedMessageSignature(const CRYPT_VERIFY_MESSAGE_PARA* para, DWORD signerIndex,
                                         const BYTE* detachedSignature, DWORD detachedSignatureSize,
                                         DWORD toBeSignedCount, const BYTE* toBeSigned[], const DWORD toBeSignedSizes[],
                                         PCCERT_CONTEXT* signerCert)
{
    if (signerCert)
        *signerCert = nullptr;
    if (!ParaIsValid(para))
        return FailWith(codes::InvalidArg);
    ContentParts content;
    if (!content.assign(toBeSignedCount, toBeSigned, toBeSignedSizes))
        return false;
    // An absent or empty signature is one that ended too soon, whatever its pointer.
    const ByteView signature = detachedSignature ? ByteView(detachedSignature, detachedSignatureSize) : ByteView();
    SignatureCheck check = VerifyDetached(signature, content.parts(), signerIndex);
    if (!check.valid())
        return FailWith(check.status);
    if (signerCert) {
        // The context keeps the message's certificates as its store, as the
        // platform's does: the signer's path can be built through them.
        *signerCert = NewCertContext(std::move(check.signer), MemoryStore(std::move(check.carried)));
        if (!*signerCert)
            return false;
    }
    return Succeed();
}

} // namespace ordalis
