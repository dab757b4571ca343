#include "cryptomsg/messages/ValidationData.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/messages/CertificatePaths.h"
#include "cryptomsg/messages/CrlFetching.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "cryptomsg/messages/OcspClient.h"
#include "cryptomsg/messages/RevocationAnswers.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/SignatureTimestamp.h"
#include "cryptomsg/messages/TrustAnchors.h"
#include "cryptomsg/messages/ValidationAttributes.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <openssl/err.h>

#include <algorithm>

namespace ordalis {

namespace {

void FreeBorrowingStack(STACK_OF(X509) * s) { sk_X509_free(s); }
using X509RefStackPtr = std::unique_ptr<STACK_OF(X509), OsslFree<FreeBorrowingStack>>;

std::string Subject(X509* certificate) { return FormatName(X509_get_subject_name(certificate), NameStyle::ShortName); }

bool IsSelfSigned(X509* certificate) { return X509_check_issued(certificate, certificate) == X509_V_OK; }

// Every certificate once, with the OCSP answer or CRL that answers for it.
struct Gathered {
    std::vector<X509Ptr> certificates;           // the signer's first
    std::vector<RevocationRefSource> revocation; // beside certificates
    std::vector<X509_CRL*> crls;                 // each once
    std::vector<OcspBasicPtr> ocsp;
    std::vector<X509CrlPtr> fetched; // from distribution points
};

// Where the revocation answers come from.
struct Sources {
    std::span<X509* const> extra;
    std::span<X509_CRL* const> crls;
    const LongTermRequest& request;
    std::time_t when;
};

[[noreturn]] void ThrowRevoked(X509* certificate, const RevocationAnswer& answer)
{
    throw Error("Сертификат " + Subject(certificate) + " отозван " + answer.revokedOn);
}

// The responder's answer when one can be had; what kept it from being had is left in failure.
bool AddOcspAnswer(Gathered& gathered, RevocationRefSource& source, X509* certificate, X509* issuer,
                   const Sources& sources, std::optional<ServiceError>& failure)
{
    const std::optional<std::string> url = sources.request.ocspUrl ? sources.request.ocspUrl : OcspUrlOf(certificate);
    if (!url)
        return false;
    try {
        OcspReply reply =
            AskOcsp(*url, certificate, issuer, sources.extra, sources.when, sources.request.tsa.timeoutSeconds);
        if (reply.answer.state == RevocationState::Revoked)
            ThrowRevoked(certificate, reply.answer);
        source.ocsp.push_back(reply.basic.get());
        gathered.ocsp.push_back(std::move(reply.basic));
        return true;
    } catch (const ServiceError& error) {
        failure = error;
        return false;
    }
}

void AddCrl(Gathered& gathered, RevocationRefSource& source, X509* certificate, X509* issuer, const Sources& sources,
            const std::optional<ServiceError>& ocspFailure)
{
    // The lists fetched for earlier links count for later ones of the same issuer.
    std::vector<X509_CRL*> atHand(sources.crls.begin(), sources.crls.end());
    for (const X509CrlPtr& crl : gathered.fetched)
        atHand.push_back(crl.get());
    RevocationAnswer answer = CrlAnswerAt(certificate, issuer, atHand, sources.when);
    if (answer.state == RevocationState::Unknown && sources.request.fetchCrls) {
        std::vector<X509_CRL*> fetched;
        for (X509CrlPtr& crl : FetchCrls(certificate, issuer, sources.request.tsa.timeoutSeconds)) {
            fetched.push_back(crl.get());
            gathered.fetched.push_back(std::move(crl));
        }
        answer = CrlAnswerAt(certificate, issuer, fetched, sources.when);
    }
    if (answer.state == RevocationState::Revoked)
        ThrowRevoked(certificate, answer);
    if (answer.state == RevocationState::Unknown) {
        // The responder's failure says more than the missing list it fell back to.
        if (ocspFailure)
            throw *ocspFailure;
        throw Error("Нет действующего списка отзыва для сертификата " + Subject(certificate) +
                    ": импортируйте его в хранилище CA или укажите --fetch-crls");
    }
    source.crls.push_back(answer.crl);
    if (std::find(gathered.crls.begin(), gathered.crls.end(), answer.crl) == gathered.crls.end())
        gathered.crls.push_back(answer.crl);
}

X509Ptr Referenced(X509* certificate)
{
    X509_up_ref(certificate);
    return X509Ptr(certificate);
}

bool Holds(const Gathered& gathered, X509* certificate)
{
    return std::any_of(gathered.certificates.begin(), gathered.certificates.end(),
                       [&](const X509Ptr& held) { return X509_cmp(held.get(), certificate) == 0; });
}

// Adds a path's certificates as they stood at when, each with its responder's answer or, without
// one, its issuer's CRL that covers that time.
void AddPath(Gathered& gathered, X509* start, const Sources& sources)
{
    const BuiltPath built = BuildPath(start, sources.extra, sources.when);
    if (!built.holds())
        throw Error("Сертификат " + Subject(start) +
                    " не ведет к доверенному корневому сертификату: " + X509_verify_cert_error_string(built.error));
    for (std::size_t i = 0; i < built.path.size(); ++i) {
        X509* certificate = built.path[i].get();
        if (Holds(gathered, certificate))
            continue;
        RevocationRefSource source;
        if (!IsSelfSigned(certificate) && i + 1 < built.path.size()) {
            X509* issuer = built.path[i + 1].get();
            std::optional<ServiceError> ocspFailure;
            if (!AddOcspAnswer(gathered, source, certificate, issuer, sources, ocspFailure))
                AddCrl(gathered, source, certificate, issuer, sources, ocspFailure);
        }
        gathered.certificates.push_back(Referenced(certificate));
        gathered.revocation.push_back(std::move(source));
    }
}

// The certificate that signed the signer's (first) signature timestamp, and the time it states.
X509Ptr TimestampAuthority(CMS_SignerInfo* signer, STACK_OF(X509) * candidates, std::time_t* when)
{
    const auto* token = static_cast<const ASN1_STRING*>(
        CMS_unsigned_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_id_smime_aa_timeStampToken), -3, V_ASN1_SEQUENCE));
    const unsigned char* cursor = token ? ASN1_STRING_get0_data(token) : nullptr;
    Pkcs7Ptr decoded(cursor ? d2i_PKCS7(nullptr, &cursor, ASN1_STRING_length(token)) : nullptr);
    X509RefStackPtr signers(decoded ? PKCS7_get0_signers(decoded.get(), candidates, 0) : nullptr);
    TsTstInfoPtr info(decoded ? PKCS7_to_TS_TST_INFO(decoded.get()) : nullptr);
    std::tm stated{};
    ERR_clear_error();
    if (!signers || sk_X509_num(signers.get()) < 1 || !info ||
        ASN1_TIME_to_tm(TS_TST_INFO_get_time(info.get()), &stated) != 1)
        throw Error("Не найден сертификат службы штампов времени");
    *when = timegm(&stated);
    // The stack borrows from the token, which goes now.
    return Referenced(sk_X509_value(signers.get(), 0));
}

std::vector<unsigned char> AttributeDerAt(CMS_SignerInfo* signer, int at)
{
    X509_ATTRIBUTE* attribute = at >= 0 ? CMS_unsigned_get_attr(signer, at) : nullptr;
    unsigned char* out = nullptr;
    const int length = attribute ? i2d_X509_ATTRIBUTE(attribute, &out) : 0;
    std::vector<unsigned char> der;
    if (length > 0)
        der.assign(out, out + length);
    OPENSSL_free(out);
    return der;
}

std::vector<unsigned char> AttributeDer(CMS_SignerInfo* signer, int nid)
{
    return AttributeDerAt(signer, CMS_unsigned_get_attr_by_NID(signer, nid, -1));
}

} // namespace

X509* SignerCertificateOf(CMS_ContentInfo* cms, CMS_SignerInfo* signer)
{
    X509* certificate = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, &certificate, nullptr, nullptr);
    if (!certificate) {
        CMS_set1_signers_certs(cms, nullptr, 0);
        ERR_clear_error();
        CMS_SignerInfo_get0_algs(signer, nullptr, &certificate, nullptr, nullptr);
    }
    return certificate;
}

std::vector<unsigned char> ValidationDataStampInput(CMS_SignerInfo* signer)
{
    const std::span<const unsigned char> value = SignatureValueOf(signer);
    std::vector<unsigned char> input(value.begin(), value.end());
    bool stamped = false;
    for (int at = -1; (at = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, at)) >= 0;) {
        const std::vector<unsigned char> der = AttributeDerAt(signer, at);
        input.insert(input.end(), der.begin(), der.end());
        stamped = true;
    }
    const std::vector<unsigned char> certificateRefs = AttributeDer(signer, NID_id_smime_aa_ets_CertificateRefs);
    const std::vector<unsigned char> revocationRefs = AttributeDer(signer, NID_id_smime_aa_ets_RevocationRefs);
    if (!stamped || certificateRefs.empty() || revocationRefs.empty())
        return {};
    input.insert(input.end(), certificateRefs.begin(), certificateRefs.end());
    input.insert(input.end(), revocationRefs.begin(), revocationRefs.end());
    return input;
}

void AddValidationData(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const LongTermRequest& request)
{
    X509* certificate = SignerCertificateOf(cms, signer);
    const EVP_MD* md = SignerDigestOf(signer);
    if (!certificate || !md)
        throw Error("Не найден сертификат подписавшего или алгоритм хэширования");
    X509StackPtr carried(CMS_get1_certs(cms));
    std::vector<X509*> extra;
    for (int i = 0; carried && i < sk_X509_num(carried.get()); ++i)
        extra.push_back(sk_X509_value(carried.get(), i));
    const StoreContent ca = ReadStoreContent(StoreFolderPath(kCaStore));
    std::vector<X509_CRL*> crls;
    for (const X509CrlPtr& crl : ca.crls)
        crls.push_back(crl.get());

    // The paths as they stood at the time the signature timestamp proves, which is what they must show.
    X509StackPtr candidates = CaCertificates(extra);
    std::time_t when = 0;
    const X509Ptr authority = TimestampAuthority(signer, candidates.get(), &when);
    Gathered gathered;
    const Sources sources{extra, crls, request, when};
    AddPath(gathered, certificate, sources);
    AddPath(gathered, authority.get(), sources);

    // The signer's own certificate is named by its signing-certificate attribute and carried by the message.
    std::vector<X509*> others;
    for (std::size_t i = 1; i < gathered.certificates.size(); ++i)
        others.push_back(gathered.certificates[i].get());
    AddUnsignedAttribute(signer, NID_id_smime_aa_ets_CertificateRefs, EncodeCertificateRefs(others, md));
    AddUnsignedAttribute(signer, NID_id_smime_aa_ets_RevocationRefs, EncodeRevocationRefs(gathered.revocation, md));
    AddUnsignedAttribute(signer, NID_id_smime_aa_ets_certValues, EncodeCertificateValues(others));
    std::vector<OCSP_BASICRESP*> answers;
    for (const OcspBasicPtr& answer : gathered.ocsp)
        answers.push_back(answer.get());
    AddUnsignedAttribute(signer, NID_id_smime_aa_ets_revocationValues, EncodeRevocationValues(gathered.crls, answers));
    const std::vector<unsigned char> stamped = ValidationDataStampInput(signer);
    AddUnsignedAttribute(signer, NID_id_smime_aa_ets_escTimeStamp, RequestTimestamp(request.tsa, md, stamped));
}

} // namespace ordalis
