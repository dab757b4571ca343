#include "cryptomsg/messages/SignerBinding.h"

#include <openssl/err.h>
#include <openssl/ess.h>

namespace ordalis {

namespace {

using EssSigningCertPtr = std::unique_ptr<ESS_SIGNING_CERT, OsslFree<ESS_SIGNING_CERT_free>>;
using EssSigningCertV2Ptr = std::unique_ptr<ESS_SIGNING_CERT_V2, OsslFree<ESS_SIGNING_CERT_V2_free>>;

// The DER of a signed attribute whose value is a SEQUENCE; null when absent.
const ASN1_STRING* SequenceAttribute(CMS_SignerInfo* signer, int nid)
{
    return static_cast<const ASN1_STRING*>(CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(nid), -3, V_ASN1_SEQUENCE));
}

// OpenSSL's own check wants the certificate that verified first, then any
// further certificates the references may name.
X509StackPtr ReferenceCandidates(X509* certificate, std::span<X509* const> others)
{
    X509StackPtr chain(sk_X509_new_null());
    if (!chain || !X509_add_cert(chain.get(), certificate, X509_ADD_FLAG_UP_REF))
        return nullptr;
    for (X509* other : others)
        if (other && X509_cmp(other, certificate) != 0 &&
            !X509_add_cert(chain.get(), other, X509_ADD_FLAG_UP_REF | X509_ADD_FLAG_NO_DUP))
            return nullptr;
    return chain;
}

bool ContentTypeAgrees(CMS_ContentInfo* cms, CMS_SignerInfo* signer)
{
    const auto* attribute = static_cast<const ASN1_OBJECT*>(
        CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_pkcs9_contentType), -3, V_ASN1_OBJECT));
    const ASN1_OBJECT* content = CMS_get0_eContentType(cms);
    // A missing attribute is OpenSSL's to refuse; only a different one is a substitution.
    return !attribute || (content && OBJ_cmp(attribute, content) == 0);
}

} // namespace

std::optional<bool> SigningCertificateMatches(CMS_SignerInfo* signer, X509* certificate, std::span<X509* const> others)
{
    const ASN1_STRING* v1 = SequenceAttribute(signer, NID_id_smime_aa_signingCertificate);
    const ASN1_STRING* v2 = SequenceAttribute(signer, NID_id_smime_aa_signingCertificateV2);
    if (!v1 && !v2)
        return std::nullopt;
    if (!certificate)
        return false;
    EssSigningCertPtr first;
    EssSigningCertV2Ptr second;
    if (v1) {
        const unsigned char* p = ASN1_STRING_get0_data(v1);
        first.reset(d2i_ESS_SIGNING_CERT(nullptr, &p, ASN1_STRING_length(v1)));
    }
    if (v2) {
        const unsigned char* p = ASN1_STRING_get0_data(v2);
        second.reset(d2i_ESS_SIGNING_CERT_V2(nullptr, &p, ASN1_STRING_length(v2)));
    }
    const X509StackPtr chain = ReferenceCandidates(certificate, others);
    const bool matched = (!v1 || first) && (!v2 || second) && chain &&
                         OSSL_ESS_check_signing_certs(first.get(), second.get(), chain.get(), 1) > 0;
    ERR_clear_error();
    return matched;
}

BindingFault CheckSignerBinding(CMS_ContentInfo* cms, CMS_SignerInfo* signer, X509* certificate,
                                std::span<X509* const> others)
{
    if (CMS_signed_get_attr_count(signer) < 0)
        return BindingFault::None;
    if (SigningCertificateMatches(signer, certificate, others) == false)
        return BindingFault::SigningCertificateMismatch;
    if (!ContentTypeAgrees(cms, signer))
        return BindingFault::ContentTypeMismatch;
    return BindingFault::None;
}

} // namespace ordalis
