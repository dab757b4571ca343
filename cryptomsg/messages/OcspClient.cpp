#include "cryptomsg/messages/OcspClient.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/HttpExchange.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/TrustAnchors.h"
#include "cryptomsg/store/CertificateDescription.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace ordalis {

namespace {

using StringStackPtr = std::unique_ptr<STACK_OF(OPENSSL_STRING), OsslFree<X509_email_free>>;

std::time_t Seconds(const ASN1_GENERALIZEDTIME* time)
{
    std::tm tm{};
    return time && ASN1_TIME_to_tm(time, &tm) == 1 ? timegm(&tm) : -1;
}

// Whether the answer's signature holds and its responder may answer for issuer's certificates.
bool AnswerHolds(OCSP_BASICRESP* basic, X509* issuer, std::span<X509* const> extra)
{
    CertStoreOsslPtr roots = RootsStore();
    X509StackPtr intermediates = CaCertificates(extra);
    if (!roots || !intermediates || X509_add_cert(intermediates.get(), issuer, X509_ADD_FLAG_UP_REF) != 1)
        return false;
    return OCSP_basic_verify(basic, intermediates.get(), roots.get(), 0) == 1;
}

struct SingleStatus {
    int status = -1;
    std::time_t revokedAt = -1;
    std::string revokedOn;
    std::time_t thisUpdate = -1, nextUpdate = -1;
};

// The answer's status for certificate, found by the hash algorithm the answer itself uses.
std::optional<SingleStatus> StatusIn(OCSP_BASICRESP* basic, X509* certificate, X509* issuer)
{
    for (int i = 0; i < OCSP_resp_count(basic); ++i) {
        const OCSP_CERTID* id = OCSP_SINGLERESP_get0_id(OCSP_resp_get0(basic, i));
        ASN1_OBJECT* algorithm = nullptr;
        OCSP_id_get0_info(nullptr, &algorithm, nullptr, nullptr, const_cast<OCSP_CERTID*>(id));
        const EVP_MD* md = algorithm ? EVP_get_digestbyobj(algorithm) : nullptr;
        OcspCertIdPtr wanted(md ? OCSP_cert_to_id(md, certificate, issuer) : nullptr);
        if (!wanted || OCSP_id_cmp(wanted.get(), id) != 0)
            continue;
        SingleStatus found;
        int reason = 0;
        ASN1_GENERALIZEDTIME *revoked = nullptr, *thisUpdate = nullptr, *nextUpdate = nullptr;
        found.status = OCSP_single_get0_status(OCSP_resp_get0(basic, i), &reason, &revoked, &thisUpdate, &nextUpdate);
        found.revokedAt = Seconds(revoked);
        found.revokedOn = revoked ? AsnTimeText(revoked) : std::string();
        found.thisUpdate = Seconds(thisUpdate);
        found.nextUpdate = nextUpdate ? Seconds(nextUpdate) : -1;
        return found;
    }
    return std::nullopt;
}

RevocationAnswer AnswerFrom(const SingleStatus& status, std::time_t when)
{
    RevocationAnswer answer;
    if (status.status == V_OCSP_CERTSTATUS_REVOKED && status.revokedAt <= when) {
        answer.state = RevocationState::Revoked;
        answer.revokedOn = status.revokedOn;
    } else if (status.status == V_OCSP_CERTSTATUS_GOOD || status.status == V_OCSP_CERTSTATUS_REVOKED) {
        answer.state = RevocationState::Good;
    }
    return answer;
}

OcspBasicPtr Exchange(const std::string& url, OCSP_REQUEST* request, int timeoutSeconds)
{
    unsigned char* out = nullptr;
    const int length = i2d_OCSP_REQUEST(request, &out);
    if (length <= 0)
        throw ServiceError(ServiceFailure::BadAddress, url, DrainOpenSslWords());
    const std::vector<unsigned char> query(out, out + length);
    OPENSSL_free(out);
    const std::vector<unsigned char> reply = HttpExchange({url, "application/ocsp-request", query, timeoutSeconds});
    const unsigned char* cursor = reply.data();
    OcspResponsePtr response(d2i_OCSP_RESPONSE(nullptr, &cursor, static_cast<long>(reply.size())));
    if (!response)
        throw ServiceError(ServiceFailure::BadAnswer, url, DrainOpenSslWords());
    const int status = OCSP_response_status(response.get());
    if (status != OCSP_RESPONSE_STATUS_SUCCESSFUL)
        throw ServiceError(ServiceFailure::Refused, url, OCSP_response_status_str(status));
    OcspBasicPtr basic(OCSP_response_get1_basic(response.get()));
    if (!basic)
        throw ServiceError(ServiceFailure::BadAnswer, url, DrainOpenSslWords());
    return basic;
}

} // namespace

std::optional<std::string> OcspUrlOf(X509* certificate)
{
    StringStackPtr urls(X509_get1_ocsp(certificate));
    if (!urls || sk_OPENSSL_STRING_num(urls.get()) < 1)
        return std::nullopt;
    return std::string(sk_OPENSSL_STRING_value(urls.get(), 0));
}

OcspReply AskOcsp(const std::string& url, X509* certificate, X509* issuer, std::span<X509* const> extra,
                  std::time_t when, int timeoutSeconds)
{
    EnsureGostEngine();
    OcspRequestPtr request(OCSP_REQUEST_new());
    // The certificate is named by SHA-1 hashes, which every responder reads.
    OCSP_CERTID* id = OCSP_cert_to_id(EVP_sha1(), certificate, issuer);
    if (!request || !id || !OCSP_request_add0_id(request.get(), id) ||
        OCSP_request_add1_nonce(request.get(), nullptr, -1) != 1) {
        OCSP_CERTID_free(id);
        throw ServiceError(ServiceFailure::BadAddress, url, DrainOpenSslWords());
    }
    OcspReply reply;
    reply.basic = Exchange(url, request.get(), timeoutSeconds);
    if (OCSP_check_nonce(request.get(), reply.basic.get()) != 1)
        throw ServiceError(ServiceFailure::FailedCheck, url, "nonce mismatch");
    if (!AnswerHolds(reply.basic.get(), issuer, extra))
        throw ServiceError(ServiceFailure::FailedCheck, url, DrainOpenSslWords());
    const std::optional<SingleStatus> status = StatusIn(reply.basic.get(), certificate, issuer);
    ERR_clear_error();
    if (!status)
        throw ServiceError(ServiceFailure::FailedCheck, url, "the answer does not name the certificate");
    const std::time_t now = std::time(nullptr);
    // Five minutes of leeway for clocks that differ.
    if (status->thisUpdate > now + 300 || (status->nextUpdate >= 0 && status->nextUpdate < now - 300))
        throw ServiceError(ServiceFailure::FailedCheck, url, "the answer is not current");
    if (status->status == V_OCSP_CERTSTATUS_UNKNOWN)
        throw ServiceError(ServiceFailure::Refused, url, "the responder does not know the certificate");
    reply.answer = AnswerFrom(*status, when);
    return reply;
}

RevocationAnswer OcspAnswerAt(X509* certificate, X509* issuer, std::span<OCSP_BASICRESP* const> answers,
                              std::span<X509* const> extra, std::time_t when)
{
    for (OCSP_BASICRESP* basic : answers) {
        const std::optional<SingleStatus> status = StatusIn(basic, certificate, issuer);
        const bool holds = status && AnswerHolds(basic, issuer, extra);
        ERR_clear_error();
        // An answer whose validity ended before that time says nothing about it.
        if (!holds || (status->nextUpdate >= 0 && status->nextUpdate < when))
            continue;
        const RevocationAnswer answer = AnswerFrom(*status, when);
        if (answer.state != RevocationState::Unknown)
            return answer;
    }
    return {};
}

} // namespace ordalis
