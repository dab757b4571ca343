#include "cryptomsg/messages/SignedDataStream.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/SignerSetup.h"

#include <cerrno>

namespace ordalis {

namespace {

// The message before its content: CMS_STREAM leaves the digests and the
// signature to be made as the content goes through the chain.
CmsPtr NewStreamedSignature(X509* signer, EVP_PKEY* key, const SignatureOptions& options)
{
    const EVP_MD* md = SignerDigest(signer, key, {}, options);
    if (!md)
        return nullptr;
    const unsigned flags = SignerFlags(options.form) | CMS_STREAM | CMS_PARTIAL;
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
    if (!cms) {
        FailFromOpenSsl(codes::MsgError);
        return nullptr;
    }
    if (!CMS_add1_signer(cms.get(), signer, key, md, flags | CMS_NOCERTS)) {
        FailFromOpenSsl(codes::BadAlgId);
        return nullptr;
    }
    for (X509* certificate : options.certificates) {
        if (!certificate || CMS_add1_cert(cms.get(), certificate) != 1) {
            certificate ? FailFromOpenSsl(codes::MsgError) : FailWith(codes::InvalidArg);
            return nullptr;
        }
    }
    return cms;
}

} // namespace

bool SignAttachedStream(X509* signer, EVP_PKEY* key, const SignatureOptions& options, int inFd, int outFd,
                        const StreamProgress& progress, TransferFailure& failure)
{
    failure = {};
    CmsPtr cms = NewStreamedSignature(signer, key, options);
    if (!cms)
        return false;
    // The GOST engine insists on the key's own digest: another one fails the encoding.
    return StreamCmsBetweenFiles(cms.get(), static_cast<int>(SignerFlags(options.form) | CMS_STREAM), inFd, outFd,
                                 progress, failure, codes::BadAlgId);
}

} // namespace ordalis
