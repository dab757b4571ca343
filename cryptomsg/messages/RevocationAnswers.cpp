#include "cryptomsg/messages/RevocationAnswers.h"

#include "cryptomsg/store/CertificateDescription.h"

#include <openssl/err.h>

namespace ordalis {

namespace {

// Seconds since the epoch; -1 for a time that does not read.
std::time_t Seconds(const ASN1_TIME* time)
{
    std::tm tm{};
    return time && ASN1_TIME_to_tm(time, &tm) == 1 ? timegm(&tm) : -1;
}

bool CoversTime(X509_CRL* crl, std::time_t when)
{
    const ASN1_TIME* next = X509_CRL_get0_nextUpdate(crl);
    const std::time_t issued = Seconds(X509_CRL_get0_lastUpdate(crl));
    // A list dated in the future is not one anyone could have relied on yet.
    return (!next || Seconds(next) >= when) && issued >= 0 && issued <= std::time(nullptr);
}

bool IsLater(X509_CRL* a, X509_CRL* b)
{
    return ASN1_TIME_compare(X509_CRL_get0_lastUpdate(a), X509_CRL_get0_lastUpdate(b)) > 0;
}

} // namespace

bool CrlSignedBy(X509_CRL* crl, X509* issuer)
{
    if (X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer)) != 0)
        return false;
    EVP_PKEY* key = X509_get0_pubkey(issuer);
    const bool signedByKey = key && X509_CRL_verify(crl, key) == 1;
    ERR_clear_error();
    return signedByKey;
}

RevocationAnswer CrlAnswerAt(X509* certificate, X509* issuer, std::span<X509_CRL* const> crls, std::time_t when)
{
    RevocationAnswer answer;
    for (X509_CRL* crl : crls) {
        if (!crl || !CoversTime(crl, when) || !CrlSignedBy(crl, issuer))
            continue;
        X509_REVOKED* entry = nullptr;
        if (X509_CRL_get0_by_cert(crl, &entry, certificate) == 1 && entry &&
            Seconds(X509_REVOKED_get0_revocationDate(entry)) <= when) {
            answer.state = RevocationState::Revoked;
            answer.revokedOn = AsnTimeText(X509_REVOKED_get0_revocationDate(entry));
            answer.crl = crl;
            return answer;
        }
        if (!answer.crl || IsLater(crl, answer.crl)) {
            answer.state = RevocationState::Good;
            answer.crl = crl;
        }
    }
    return answer;
}

} // namespace ordalis
