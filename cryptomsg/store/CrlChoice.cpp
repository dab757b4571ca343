#include "cryptomsg/store/CrlChoice.h"

#include "cryptomsg/store/CrlIssuer.h"

#include <openssl/x509v3.h>

namespace ordalis {

namespace {

using Asn1IntegerPtr = std::unique_ptr<ASN1_INTEGER, OsslFree<ASN1_INTEGER_free>>;

bool IsCurrent(X509_CRL* crl, const std::time_t* at)
{
    // X509_cmp_time takes a non-const time and reads it only.
    std::time_t when = at ? *at : std::time(nullptr);
    if (X509_cmp_time(X509_CRL_get0_lastUpdate(crl), &when) > 0)
        return false;
    const ASN1_TIME* next = X509_CRL_get0_nextUpdate(crl);
    return !next || X509_cmp_time(next, &when) > 0;
}

// Whether a is a later issue than b of the same authority's list: by its date, then by its CRL number.
bool IsLaterIssue(X509_CRL* a, X509_CRL* b)
{
    const int byDate = ASN1_TIME_compare(X509_CRL_get0_lastUpdate(a), X509_CRL_get0_lastUpdate(b));
    if (byDate != 0)
        return byDate > 0;
    Asn1IntegerPtr numberA(static_cast<ASN1_INTEGER*>(X509_CRL_get_ext_d2i(a, NID_crl_number, nullptr, nullptr)));
    Asn1IntegerPtr numberB(static_cast<ASN1_INTEGER*>(X509_CRL_get_ext_d2i(b, NID_crl_number, nullptr, nullptr)));
    return numberA && numberB && ASN1_INTEGER_cmp(numberA.get(), numberB.get()) > 0;
}

bool IsBetter(X509_CRL* candidate, X509_CRL* kept, const std::time_t* at)
{
    if (!kept)
        return true;
    const bool candidateCurrent = IsCurrent(candidate, at);
    if (candidateCurrent != IsCurrent(kept, at))
        return candidateCurrent;
    return IsLaterIssue(candidate, kept);
}

} // namespace

X509_CRL* ChooseCrl(std::span<const X509CrlPtr> crls, X509* issuer, const std::time_t* at)
{
    X509_CRL* chosen = nullptr;
    for (const X509CrlPtr& crl : crls)
        if (!IsDeltaCrl(crl.get()) && IsCrlIssuedBy(crl.get(), issuer) && IsBetter(crl.get(), chosen, at))
            chosen = crl.get();
    return chosen;
}

} // namespace ordalis
