#include "cryptomsg/messages/SignatureExamination.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/messages/SignerBinding.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/CertificateIds.h"

#include <openssl/err.h>

#include <cstring>
#include <functional>

namespace ordalis {

namespace {

X509Ptr Referenced(X509* certificate)
{
    if (certificate)
        X509_up_ref(certificate);
    return X509Ptr(certificate);
}

std::string SerialHex(const ASN1_INTEGER* serial)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !serial || i2a_ASN1_INTEGER(bio.get(), serial) <= 0)
        return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// Names the signer from its certificate or, without one, from its identifier.
void Describe(CMS_SignerInfo* signer, SignerReport& report)
{
    if (X509* certificate = report.certificate.get()) {
        report.subject = FormatName(X509_get_subject_name(certificate), NameStyle::ShortName);
        report.issuer = FormatName(X509_get_issuer_name(certificate), NameStyle::ShortName);
        report.serialHex = CertificateSerialHex(certificate);
        return;
    }
    ASN1_OCTET_STRING* keyId = nullptr;
    X509_NAME* issuer = nullptr;
    ASN1_INTEGER* serial = nullptr;
    if (CMS_SignerInfo_get0_signer_id(signer, &keyId, &issuer, &serial) == 1 && issuer) {
        report.issuer = FormatName(issuer, NameStyle::ShortName);
        report.serialHex = SerialHex(serial);
    }
}

SignedAttributes ReadAttributes(CMS_SignerInfo* signer, X509* certificate, std::span<X509* const> candidates)
{
    SignedAttributes attributes;
    if (auto* type = static_cast<ASN1_OBJECT*>(
            CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_pkcs9_contentType), -3, V_ASN1_OBJECT))) {
        char text[128] = {0};
        OBJ_obj2txt(text, sizeof text, type, 0);
        attributes.contentType = text;
    }
    const int at = CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1);
    if (X509_ATTRIBUTE* attribute = at >= 0 ? CMS_signed_get_attr(signer, at) : nullptr) {
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
        if (value && (value->type == V_ASN1_UTCTIME || value->type == V_ASN1_GENERALIZEDTIME))
            attributes.signingTime = AsnTimeText(value->value.utctime);
    }
    attributes.signingCertificateMatched = SigningCertificateMatches(signer, certificate, candidates);
    return attributes;
}

// The digest BIO chain over the content, which every signer's check reads without consuming it.
BioPtr DigestContent(CMS_ContentInfo* cms, const ContentFeed& content, const ChunkSink& alsoTo)
{
    BioPtr sink = NewNullBio();
    BioPtr chain(sink ? CMS_dataInit(cms, sink.get()) : nullptr);
    if (!chain)
        return chain;
    sink.release(); // the chain owns it now
    const ChunkSink digest = WriteInto(chain.get());
    if (!content([&](ByteView chunk) { return digest(chunk) && (!alsoTo || alsoTo(chunk)); }))
        chain.reset();
    return chain;
}

SignatureFailure BindingFailure(BindingFault fault)
{
    switch (fault) {
    case BindingFault::None: return SignatureFailure::None;
    case BindingFault::SigningCertificateMismatch: return SignatureFailure::SigningCertificateMismatch;
    case BindingFault::ContentTypeMismatch: return SignatureFailure::ContentTypeMismatch;
    }
    return SignatureFailure::None;
}

SignatureFailure CheckSignatureValue(CMS_SignerInfo* signer, BIO* digests, SignerReport& report)
{
    if (!report.certificate)
        return SignatureFailure::NoSignerCertificate;
    if (!X509_get0_pubkey(report.certificate.get()))
        return SignatureFailure::UnsupportedAlgorithm;
    if (report.attributes) {
        if (CMS_SignerInfo_verify(signer) != 1)
            return SignatureFailure::WrongSignatureValue;
        const bool matched = CMS_SignerInfo_verify_content(signer, digests) == 1;
        report.attributes->digestMatched = matched;
        return matched ? SignatureFailure::None : SignatureFailure::ContentChanged;
    }
    // Without signed attributes the signature is over the content's digest: a
    // changed file and a damaged value cannot be told apart.
    return CMS_SignerInfo_verify_content(signer, digests) == 1 ? SignatureFailure::None
                                                               : SignatureFailure::WrongSignatureValue;
}

SignatureFailure CheckSigner(CMS_ContentInfo* cms, CMS_SignerInfo* signer, BIO* digests, SignerReport& report,
                             std::span<X509* const> candidates)
{
    const SignatureFailure value = CheckSignatureValue(signer, digests, report);
    if (value != SignatureFailure::None)
        return value;
    return BindingFailure(CheckSignerBinding(cms, signer, report.certificate.get(), candidates));
}

bool SameBytes(const ASN1_OCTET_STRING* held, ByteView content)
{
    return static_cast<std::size_t>(ASN1_STRING_length(held)) == content.size() &&
           (content.empty() || std::memcmp(ASN1_STRING_get0_data(held), content.data(), content.size()) == 0);
}

void ExamineSigners(CMS_ContentInfo* cms, BIO* digests, bool contentAgrees, std::span<X509* const> others,
                    SignatureReport& report)
{
    STACK_OF(X509)* carried = CMS_get1_certs(cms);
    for (int i = 0; carried && i < sk_X509_num(carried); ++i)
        report.carried.push_back(Referenced(sk_X509_value(carried, i)));
    sk_X509_pop_free(carried, X509_free);

    X509StackPtr extra(sk_X509_new_null());
    for (X509* certificate : others)
        if (extra && certificate)
            X509_add_cert(extra.get(), certificate, X509_ADD_FLAG_UP_REF);
    // The message's own certificates come first; the others only fill the gaps.
    CMS_set1_signers_certs(cms, nullptr, 0);
    CMS_set1_signers_certs(cms, extra.get(), 0);
    // Where an ESS reference's further certificates may be.
    std::vector<X509*> candidates;
    for (const X509Ptr& certificate : report.carried)
        candidates.push_back(certificate.get());
    candidates.insert(candidates.end(), others.begin(), others.end());

    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
        CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
        SignerReport signerReport;
        signerReport.index = static_cast<std::size_t>(i);
        X509* certificate = nullptr;
        CMS_SignerInfo_get0_algs(signer, nullptr, &certificate, nullptr, nullptr);
        signerReport.certificate = Referenced(certificate);
        Describe(signer, signerReport);
        if (CMS_signed_get_attr_count(signer) >= 0)
            signerReport.attributes = ReadAttributes(signer, signerReport.certificate.get(), candidates);
        if (!contentAgrees)
            signerReport.failure = SignatureFailure::ContentChanged;
        else if (!digests)
            signerReport.failure = SignatureFailure::UnsupportedAlgorithm;
        else
            signerReport.failure = CheckSigner(cms, signer, digests, signerReport, candidates);
        report.signers.push_back(std::move(signerReport));
    }
}

void Examine(CMS_ContentInfo* cms, const ByteView* given, std::span<X509* const> others, SignatureReport& report)
{
    ASN1_OCTET_STRING** embedded = CMS_get0_content(cms);
    const bool hasEmbedded = embedded && *embedded;
    if (hasEmbedded)
        report.embeddedContent.emplace(ASN1_STRING_get0_data(*embedded),
                                       ASN1_STRING_get0_data(*embedded) + ASN1_STRING_length(*embedded));
    const ByteView content = given ? *given : hasEmbedded ? ByteView(*report.embeddedContent) : ByteView();
    const bool contentAgrees = !given || !hasEmbedded || SameBytes(*embedded, *given);
    // Fails when a signer names a digest this program does not know.
    BioPtr digests = contentAgrees ? DigestContent(cms, FeedBytes(content), {}) : nullptr;
    ExamineSigners(cms, digests.get(), contentAgrees, others, report);
}

// Compares the content fed, a chunk at a time, with the content the message carries.
class CarriedComparison {
public:
    explicit CarriedComparison(const ASN1_OCTET_STRING* held)
        : m_held(ASN1_STRING_get0_data(held), static_cast<std::size_t>(ASN1_STRING_length(held)))
    {
    }
    bool operator()(ByteView chunk)
    {
        m_same = m_same && chunk.size() <= m_held.size() - m_offset &&
                 std::memcmp(m_held.data() + m_offset, chunk.data(), chunk.size()) == 0;
        m_offset += m_same ? chunk.size() : 0;
        return m_same;
    }
    bool same() const { return m_same && m_offset == m_held.size(); }

private:
    ByteView m_held;
    std::size_t m_offset = 0;
    bool m_same = true;
};

} // namespace

const char* SignatureFailureCode(SignatureFailure failure)
{
    switch (failure) {
    case SignatureFailure::None: return "";
    case SignatureFailure::NotASignature: return "not-a-signature";
    case SignatureFailure::NoSignerCertificate: return "no-signer-certificate";
    case SignatureFailure::WrongSignatureValue: return "signature-value-wrong";
    case SignatureFailure::ContentChanged: return "content-changed";
    case SignatureFailure::UnsupportedAlgorithm: return "unsupported-algorithm";
    case SignatureFailure::SigningCertificateMismatch: return "signing-certificate-mismatch";
    case SignatureFailure::ContentTypeMismatch: return "content-type-mismatch";
    }
    return "";
}

std::string SignatureFailureText(SignatureFailure failure)
{
    switch (failure) {
    case SignatureFailure::None: return {};
    case SignatureFailure::NotASignature: return "файл не является подписью PKCS#7";
    case SignatureFailure::NoSignerCertificate: return "не найден сертификат подписавшего";
    case SignatureFailure::WrongSignatureValue: return "значение подписи неверно";
    case SignatureFailure::ContentChanged: return "содержимое изменено после подписания";
    case SignatureFailure::UnsupportedAlgorithm: return "алгоритм подписи не поддерживается";
    case SignatureFailure::SigningCertificateMismatch:
        return "подписанная ссылка на сертификат подписавшего указывает на другой сертификат";
    case SignatureFailure::ContentTypeMismatch: return "подписанный тип содержимого не совпадает с типом сообщения";
    }
    return {};
}

SignatureReport ExamineSignatureOver(ByteView der, const ContentFeed& content, std::span<X509* const> others)
{
    SignatureReport report;
    EnsureGostEngine();
    CmsPtr cms = DecodeMessage(der, NID_pkcs7_signed);
    if (!cms) {
        report.failure = SignatureFailure::NotASignature;
        ERR_clear_error();
        return report;
    }
    ASN1_OCTET_STRING** embedded = CMS_get0_content(cms.get());
    std::optional<CarriedComparison> comparison;
    if (embedded && *embedded)
        comparison.emplace(*embedded);
    BioPtr digests = DigestContent(cms.get(), content, comparison ? ChunkSink(std::ref(*comparison)) : ChunkSink());
    const bool contentAgrees = !comparison || comparison->same();
    ExamineSigners(cms.get(), contentAgrees ? digests.get() : nullptr, contentAgrees, others, report);
    ERR_clear_error();
    return report;
}

SignatureReport ExamineDigestedSignature(CMS_ContentInfo* cms, BIO* digests, std::span<X509* const> others)
{
    SignatureReport report;
    ExamineSigners(cms, digests, true, others, report);
    ERR_clear_error();
    return report;
}

SignatureReport ExamineSignature(ByteView der, const ByteView* content, std::span<X509* const> others)
{
    SignatureReport report;
    EnsureGostEngine();
    CmsPtr cms = DecodeMessage(der, NID_pkcs7_signed);
    if (!cms)
        report.failure = SignatureFailure::NotASignature;
    else
        Examine(cms.get(), content, others, report);
    ERR_clear_error();
    return report;
}

} // namespace ordalis
