// CryptVerifyDetachedMessageSignature: checks one signer of a SignedData over
// content given apart from it, with the signer's certificate taken from the
// message itself; no chain is built.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <cstring>

namespace ordalis {

namespace {

bool ParaIsValid(const CRYPT_VERIFY_MESSAGE_PARA* para)
{
    return para && para->cbSize >= kVerifyMessageParaSize && IsMessageEncoding(para->dwMsgAndCertEncodingType);
}

// A message that carries its content as well is checked over the given content
// only when the two are the same bytes; otherwise the verdict would be about
// something other than what the message holds.
bool EmbeddedContentAgrees(CMS_ContentInfo* cms, const ContentParts& content)
{
    ASN1_OCTET_STRING** embedded = CMS_get0_content(cms);
    if (!embedded || !*embedded)
        return true;
    const unsigned char* held = ASN1_STRING_get0_data(*embedded);
    const std::size_t heldSize = static_cast<std::size_t>(ASN1_STRING_length(*embedded));
    if (heldSize != content.totalSize())
        return FailWith(codes::HashValue);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < content.count(); ++i) {
        const std::span<const BYTE> part = content.part(i);
        if (!part.empty() && std::memcmp(held + offset, part.data(), part.size()) != 0)
            return FailWith(codes::HashValue);
        offset += part.size();
    }
    return true;
}

// The signer at index in the order the message lists them, with its
// certificate found among the message's certificates. Null with the last error set.
CMS_SignerInfo* SignerWithCertificate(CMS_ContentInfo* cms, DWORD index, X509** certificate)
{
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    const int count = signers ? sk_CMS_SignerInfo_num(signers) : 0;
    if (index >= static_cast<DWORD>(count)) {
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
bool CheckSignature(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const ContentParts& content)
{
    BioPtr sink = NewNullBio();
    BioPtr chain(sink ? CMS_dataInit(cms, sink.get()) : nullptr);
    if (!chain)
        return FailFromOpenSsl(codes::UnknownAlgo);
    sink.release(); // the chain owns it now
    for (std::size_t i = 0; i < content.count(); ++i)
        if (!WriteThrough(chain.get(), content.part(i)))
            return FailFromOpenSsl(codes::MsgError);
    const bool hasAttributes = CMS_signed_get_attr_count(signer) >= 0;
    // With signed attributes the signature covers them and they carry the content's digest.
    if (hasAttributes && CMS_SignerInfo_verify(signer) != 1)
        return FailWith(codes::BadSignature);
    if (CMS_SignerInfo_verify_content(signer, chain.get()) != 1)
        return FailWith(hasAttributes ? codes::HashValue : codes::BadSignature);
    return true;
}

} // namespace

BOOL CryptVerifyDetachedMessageSignature(const CRYPT_VERIFY_MESSAGE_PARA* para, DWORD signerIndex,
                                         const BYTE* detachedSignature, DWORD detachedSignatureSize,
                                         DWORD toBeSignedCount, const BYTE* toBeSigned[],
                                         const DWORD toBeSignedSizes[], PCCERT_CONTEXT* signerCert)
{
    if (signerCert)
        *signerCert = nullptr;
    if (!ParaIsValid(para))
        return FailWith(codes::InvalidArg);
    ContentParts content;
    if (!content.assign(toBeSignedCount, toBeSigned, toBeSignedSizes) || !EnsureGostEngine())
        return false;
    CmsPtr cms = DecodeMessage(detachedSignature, detachedSignatureSize, NID_pkcs7_signed);
    if (!cms || !EmbeddedContentAgrees(cms.get(), content))
        return false;
    X509* certificate = nullptr;
    CMS_SignerInfo* signer = SignerWithCertificate(cms.get(), signerIndex, &certificate);
    if (!signer || !CheckSignature(cms.get(), signer, content))
        return false;
    if (signerCert) {
        X509_up_ref(certificate);
        *signerCert = NewCertContext(X509Ptr(certificate), nullptr);
        if (!*signerCert)
            return false;
    }
    return Succeed();
}

} // namespace ordalis
