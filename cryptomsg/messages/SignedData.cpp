// The core's signing: a SignedData with one signer, with or without signed attributes.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/messages/SignerSetup.h"

#include <algorithm>

namespace ordalis {

namespace {

bool AddCertificates(CMS_ContentInfo* cms, std::span<X509* const> certificates)
{
    for (X509* certificate : certificates) {
        if (!certificate)
            return FailWith(codes::InvalidArg);
        if (CMS_add1_cert(cms, certificate) != 1)
            return FailFromOpenSsl(codes::MsgError);
    }
    return true;
}

// Hashes the content and signs it.
bool SignContent(CMS_ContentInfo* cms, const ContentFeed& content)
{
    BioPtr sink = NewNullBio();
    BioPtr chain(sink ? CMS_dataInit(cms, sink.get()) : nullptr);
    if (!chain)
        return FailFromOpenSsl(codes::NoMemory);
    sink.release(); // the chain owns it now
    if (!content(WriteInto(chain.get())))
        return FailFromOpenSsl(codes::MsgError);
    // The GOST engine insists on the key's own digest: another one fails here.
    if (CMS_dataFinal(cms, chain.get()) != 1)
        return FailFromOpenSsl(codes::BadAlgId);
    return true;
}

} // namespace

std::optional<OutgoingMessage> SignDetached(X509* signer, EVP_PKEY* key, ContentView content,
                                            const SignatureOptions& options)
{
    if (!ContentSize(content)) {
        FailWith(codes::InvalidArg);
        return std::nullopt;
    }
    return SignDetachedFed(
        signer, key,
        [content](const ChunkSink& sink) {
            return std::all_of(content.begin(), content.end(),
                               [&sink](ByteView part) { return part.empty() || sink(part); });
        },
        options);
}

std::optional<OutgoingMessage> SignDetachedFed(X509* signer, EVP_PKEY* key, const ContentFeed& content,
                                               const SignatureOptions& options)
{
    const EVP_MD* md = SignerDigest(signer, key, {}, options);
    if (!md)
        return std::nullopt;
    const unsigned flags = SignerFlags(options.form) | CMS_DETACHED;
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags | CMS_PARTIAL));
    if (!cms) {
        FailFromOpenSsl(codes::MsgError);
        return std::nullopt;
    }
    // The certificates are the caller's list, so the signer's is not added on its own.
    if (!CMS_add1_signer(cms.get(), signer, key, md, flags | CMS_NOCERTS)) {
        FailFromOpenSsl(codes::BadAlgId);
        return std::nullopt;
    }
    if (!AddCertificates(cms.get(), options.certificates) || !SignContent(cms.get(), content))
        return std::nullopt;
    return OutgoingMessage(std::move(cms));
}

std::optional<OutgoingMessage> SignAttached(X509* signer, EVP_PKEY* key, ByteView content,
                                            const SignatureOptions& options)
{
    const ByteView parts[] = {content};
    std::optional<OutgoingMessage> message = SignDetached(signer, key, parts, options);
    if (message && !message->carry(content))
        return std::nullopt;
    return message;
}

} // namespace ordalis
