#include "cryptomsg/messages/TimestampCheck.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/TimestampClient.h"
#include "cryptomsg/messages/TrustAnchors.h"
#include "cryptomsg/store/CertificateDescription.h"

#include <openssl/err.h>

#include <algorithm>

namespace ordalis {

namespace {

// A stack that borrows its certificates: only the stack itself is freed.
void FreeBorrowingStack(STACK_OF(X509) * s) { sk_X509_free(s); }
using X509RefStackPtr = std::unique_ptr<STACK_OF(X509), OsslFree<FreeBorrowingStack>>;

Pkcs7Ptr DecodeToken(std::span<const unsigned char> token)
{
    const unsigned char* cursor = token.data();
    Pkcs7Ptr decoded(d2i_PKCS7(nullptr, &cursor, static_cast<long>(token.size())));
    if (decoded && cursor != token.data() + token.size())
        decoded.reset();
    return decoded;
}

void ReadTime(TS_TST_INFO* info, TimestampFinding& finding)
{
    const ASN1_GENERALIZEDTIME* time = TS_TST_INFO_get_time(info);
    std::tm tm{};
    if (time && ASN1_TIME_to_tm(time, &tm) == 1) {
        finding.time = timegm(&tm);
        finding.timeText = AsnTimeText(time);
    }
}

bool ImprintMatches(TS_TST_INFO* info, std::span<const unsigned char> data)
{
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info);
    const EVP_MD* md = EVP_get_digestbyobj(TS_MSG_IMPRINT_get_algo(imprint)->algorithm);
    const ASN1_OCTET_STRING* stamped = TS_MSG_IMPRINT_get_msg(imprint);
    if (!md)
        return false;
    const std::vector<unsigned char> digest = DigestOf(md, data);
    return static_cast<std::size_t>(ASN1_STRING_length(stamped)) == digest.size() &&
           std::equal(digest.begin(), digest.end(), ASN1_STRING_get0_data(stamped));
}

std::string AuthorityOf(PKCS7* token, STACK_OF(X509) * extra)
{
    X509RefStackPtr signers(PKCS7_get0_signers(token, extra, 0));
    ERR_clear_error();
    if (!signers || sk_X509_num(signers.get()) < 1)
        return {};
    return FormatName(X509_get_subject_name(sk_X509_value(signers.get(), 0)), NameStyle::ShortName);
}

// Whether the queue's failure is about the authority's certificate rather than the signature itself.
bool IsAuthorityFailure()
{
    const unsigned long code = ERR_peek_error();
    return ERR_GET_LIB(code) == ERR_LIB_TS &&
           (ERR_GET_REASON(code) == TS_R_CERTIFICATE_VERIFY_ERROR || ERR_GET_REASON(code) == TS_R_TSA_UNTRUSTED ||
            ERR_GET_REASON(code) == TS_R_ESS_SIGNING_CERTIFICATE_ERROR);
}

} // namespace

TimestampFinding CheckTimestampToken(std::span<const unsigned char> token, std::span<const unsigned char> data,
                                     std::span<X509* const> extra, TimestampKind kind)
{
    EnsureGostEngine();
    TimestampFinding finding;
    finding.kind = kind;
    Pkcs7Ptr decoded = DecodeToken(token);
    TsTstInfoPtr info(decoded ? PKCS7_to_TS_TST_INFO(decoded.get()) : nullptr);
    if (!info) {
        finding.reason = DrainOpenSslWords();
        return finding;
    }
    ReadTime(info.get(), finding);
    X509StackPtr intermediates = CaCertificates(extra);
    finding.authority = AuthorityOf(decoded.get(), intermediates.get());
    if (!ImprintMatches(info.get(), data)) {
        finding.verdict = TimestampVerdict::ImprintMismatch;
        ERR_clear_error();
        return finding;
    }
    TsVerifyCtxPtr check(TS_VERIFY_CTX_new());
    CertStoreOsslPtr roots = RootsStore();
    if (!check || !roots || !intermediates) {
        finding.reason = DrainOpenSslWords();
        return finding;
    }
    TS_VERIFY_CTX_set_flags(check.get(), TS_VFY_SIGNATURE);
    TS_VERIFY_CTX_set_store(check.get(), roots.release());
    TS_VERIFY_CTX_set_certs(check.get(), intermediates.release());
    if (TS_RESP_verify_token(check.get(), decoded.get()) != 1) {
        finding.verdict = IsAuthorityFailure() ? TimestampVerdict::UntrustedAuthority : TimestampVerdict::BadSignature;
        finding.reason = DrainOpenSslWords();
        return finding;
    }
    finding.verdict = TimestampVerdict::Valid;
    return finding;
}

const char* TimestampVerdictCode(TimestampVerdict verdict)
{
    switch (verdict) {
    case TimestampVerdict::Valid: return "valid";
    case TimestampVerdict::ImprintMismatch: return "imprint-mismatch";
    case TimestampVerdict::BadSignature: return "bad-signature";
    case TimestampVerdict::UntrustedAuthority: return "untrusted-authority";
    }
    return "bad-signature";
}

std::string TimestampVerdictSentence(const TimestampFinding& finding)
{
    switch (finding.verdict) {
    case TimestampVerdict::Valid: return "Штамп времени верен";
    case TimestampVerdict::ImprintMismatch: return "Штамп времени относится к другим данным";
    case TimestampVerdict::BadSignature:
        return "Подпись штампа времени неверна" + (finding.reason.empty() ? std::string() : ": " + finding.reason);
    case TimestampVerdict::UntrustedAuthority:
        return "Сертификат службы штампов времени не ведет к доверенному корневому сертификату" +
               (finding.reason.empty() ? std::string() : ": " + finding.reason);
    }
    return {};
}

} // namespace ordalis
