// The core's verification of one signer of a SignedData over detached content.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/SignerBinding.h"

#include <cstring>

namespace ordalis {

namespace {

// A message that carries its content as well is checked over the given content
// only when the two are the same bytes; otherwise the verdict would be about
// something other than what the message holds.
bool EmbeddedContentAgrees(CMS_ContentInfo* cms, ContentView content, std::size_t contentSize)
{
    ASN1_OCTET_STRING** embedded = CMS_get0_content(cms);
    if (!embedded || !*embedded)
        return true;
    const unsigned char* held = ASN1_STRING_get0_data(*embedded);
    if (static_cast<std::size_t>(ASN1_STRING_length(*embedded)) != contentSize)
        return FailWith(codes::HashValue);
    std::size_t offset = 0;
    for (const ByteView part : content) {
        if (!part.empty() && std::memcmp(held + offset, part.data(), part.size()) != 0)
            return FailWith(codes::HashValue);
        offset += part.size();
    }
    return true;
}

// The signer at index in the order the message lists them, with its
// certificate found among the message's certificates. Null with the last error set.
CMS_SignerInfo* SignerWithCertificate(CMS_ContentInfo* cms, std::size_t index, X509** certificate)
{
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    const int count = signers ? sk_CMS_SignerInfo_num(signers) : 0;
    if (index >= static_cast<std::size_t>(count)) {
        FailWith(codes::InvalidIndex);
        return nullptr;
    }
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, static_cast<int>(index));
    if (CMS_set1_signers_certs(cms, nullptr, 0) < 0) {
        FailFromOpenSsl(codes::MsgError);
        return nullptr;
    }
    *certificate = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, certificate, nullptr, nullptr);
    if (!*certificate) {
        FailWith(codes::SignerNotFound);
        return nullptr;
    }
    return signer;
}

// Hashes the content and checks the signer's signature over it (and over its
// signed attributes, when it has them).
bool CheckSignature(CMS_ContentInfo* cms, CMS_SignerInfo* signer, ContentView content)
{
    BioPtr sink = NewNullBio();
    BioPtr chain(sink ? CMS_dataInit(cms, sink.get()) : nullptr);
    if (!chain)
        return FailFromOpenSsl(codes::UnknownAlgo);
    sink.release(); // the chain owns it now
    for (const ByteView part : content)
        if (!WriteThrough(chain.get(), part))
            return FailFromOpenSsl(codes::MsgError);
    const bool hasAttributes = CMS_signed_get_attr_count(signer) >= 0;
    // With signed attributes the signature covers them and they carry the content's digest.
    if (hasAttributes && CMS_SignerInfo_verify(signer) != 1)
        return FailWith(codes::BadSignature);
    if (CMS_SignerInfo_verify_content(signer, chain.get()) != 1)
        return FailWith(hasAttributes ? codes::HashValue : codes::BadSignature);
    return true;
}

// A signature whose signed attributes name another certificate or content type
// than the ones it is checked with does not hold for them.
bool CheckBinding(CMS_ContentInfo* cms, CMS_SignerInfo* signer, X509* certificate, const std::vector<X509Ptr>& carried)
{
    std::vector<X509*> others;
    for (const X509Ptr& held : carried)
        others.push_back(held.get());
    return CheckSignerBinding(cms, signer, certificate, others) == BindingFault::None || FailWith(codes::BadSignature);
}

SignatureCheck Failed(X509Ptr signer = nullptr) { return {std::move(signer), {}, GetLastError()}; }

std::vector<X509Ptr> CarriedCertificates(CMS_ContentInfo* cms)
{
    std::vector<X509Ptr> carried;
    X509StackPtr certificates(CMS_get1_certs(cms));
    for (int i = 0; certificates && i < sk_X509_num(certificates.get()); ++i) {
        X509* certificate = sk_X509_value(certificates.get(), i);
        X509_up_ref(certificate);
        carried.emplace_back(certificate);
    }
    return carried;
}

} // namespace

SignatureCheck VerifyDetached(ByteView signature, ContentView content, std::size_t signerIndex)
{
    const std::optional<std::size_t> contentSize = ContentSize(content);
    if (!contentSize) {
        FailWith(codes::InvalidArg);
        return Failed();
    }
    if (!EnsureGostEngine())
        return Failed();
    CmsPtr cms = DecodeMessage(signature, NID_pkcs7_signed);
    if (!cms || !EmbeddedContentAgrees(cms.get(), content, *contentSize))
        return Failed();
    X509* certificate = nullptr;
    CMS_SignerInfo* signer = SignerWithCertificate(cms.get(), signerIndex, &certificate);
    if (!signer)
        return Failed();
    X509_up_ref(certificate);
    X509Ptr found(certificate);
    std::vector<X509Ptr> carried = CarriedCertificates(cms.get());
    if (!CheckSignature(cms.get(), signer, content) || !CheckBinding(cms.get(), signer, found.get(), carried))
        return Failed(std::move(found));
    Succeed();
    return {std::move(found), std::move(carried), 0};
}

} // namespace ordalis
