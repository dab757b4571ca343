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
    const std::int64_t left = BytesLeft(inFd);
    if (left < 0) {
        failure.readError = errno;
        return FailWith(codes::MsgError);
    }
    Transfer transfer{0, static_cast<std::uint64_t>(left), &progress, &failure};
    BioPtr in = WatchedFileBio(inFd, transfer);
    BioPtr out = WatchedFileBio(outFd, transfer);
    if (!in || !out)
        return FailFromOpenSsl(codes::MsgError);
    errno = 0;
    const unsigned flags = SignerFlags(options.form) | CMS_STREAM;
    const bool written =
        i2d_CMS_bio_stream(out.get(), cms.get(), in.get(), static_cast<int>(flags)) == 1 && BIO_flush(out.get()) == 1;
    if (failure.readError != 0 || failure.writeError != 0)
        return FailWith(codes::MsgError);
    // The GOST engine insists on the key's own digest: another one fails here.
    if (!written)
        return FailFromOpenSsl(codes::BadAlgId);
    // A file that changed size while it was read is not the file that was asked for.
    if (transfer.read != transfer.total) {
        failure.readError = EIO;
        return FailWith(codes::MsgError);
    }
    return true;
}

} // namespace ordalis
