// The core's co-signing: one more signer on a SignedData whose signers all hold.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/SignerSetup.h"

namespace ordalis {

namespace {

// Checks each signer there over content; false with the last error of the
// first that does not hold (and its index), or when there is none at all.
bool EverySignerHolds(ByteView signature, CMS_ContentInfo* cms, ContentView content, std::size_t* invalidSigner)
{
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    const int count = signers ? sk_CMS_SignerInfo_num(signers) : 0;
    if (count <= 0)
        return FailWith(codes::SignerNotFound);
    for (int i = 0; i < count; ++i) {
        if (!VerifyDetached(signature, content, static_cast<std::size_t>(i)).valid()) {
            if (invalidSigner)
                *invalidSigner = static_cast<std::size_t>(i);
            return false;
        }
    }
    return true;
}

bool CarriesCertificate(CMS_ContentInfo* cms, X509* certificate)
{
    X509StackPtr carried(CMS_get1_certs(cms));
    for (int i = 0; carried && i < sk_X509_num(carried.get()); ++i)
        if (X509_cmp(sk_X509_value(carried.get(), i), certificate) == 0)
            return true;
    return false;
}

// The attributes OpenSSL adds to a signer only while it signs every signer of
// a new message: the content's digest with the signer's digest, and the type of
// the content the message carries.
bool AddContentAttributes(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const EVP_MD* md, ContentView content)
{
    EvpMdCtxPtr context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1)
        return FailFromOpenSsl(codes::BadAlgId);
    for (const ByteView part : content)
        if (!part.empty() && EVP_DigestUpdate(context.get(), part.data(), part.size()) != 1)
            return FailFromOpenSsl(codes::BadAlgId);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return FailFromOpenSsl(codes::BadAlgId);
    if (CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_messageDigest, V_ASN1_OCTET_STRING, digest,
                                    static_cast<int>(length)) != 1 ||
        CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_contentType, V_ASN1_OBJECT, CMS_get0_eContentType(cms), -1) != 1)
        return FailFromOpenSsl(codes::MsgError);
    return true;
}

} // namespace

std::optional<OutgoingMessage> AddSigner(ByteView signature, ContentView content, X509* signer, EVP_PKEY* key,
                                         const SignatureOptions& options, std::size_t* invalidSigner)
{
    const EVP_MD* md = SignerDigest(signer, key, content, options);
    if (!md)
        return std::nullopt;
    CmsPtr cms = DecodeMessage(signature, NID_pkcs7_signed);
    if (!cms || !EverySignerHolds(signature, cms.get(), content, invalidSigner))
        return std::nullopt;
    unsigned flags = CosignerFlags(options.form);
    if (CarriesCertificate(cms.get(), signer))
        flags |= CMS_NOCERTS;
    CMS_SignerInfo* added = CMS_add1_signer(cms.get(), signer, key, md, flags);
    if (!added) {
        FailFromOpenSsl(codes::BadAlgId);
        return std::nullopt;
    }
    if (!AddContentAttributes(cms.get(), added, md, content))
        return std::nullopt;
    // Adds the signing time and signs the attributes.
    if (CMS_SignerInfo_sign(added) != 1) {
        FailFromOpenSsl(codes::BadAlgId);
        return std::nullopt;
    }
    return OutgoingMessage(std::move(cms));
}

} // namespace ordalis
