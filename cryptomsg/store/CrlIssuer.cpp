#include "cryptomsg/store/CrlIssuer.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace ordalis {

namespace {

using AuthorityKeyIdPtr = std::unique_ptr<AUTHORITY_KEYID, OsslFree<AUTHORITY_KEYID_free>>;

bool KeyIdentifierAgrees(X509_CRL* crl, X509* issuer)
{
    AuthorityKeyIdPtr authority(
        static_cast<AUTHORITY_KEYID*>(X509_CRL_get_ext_d2i(crl, NID_authority_key_identifier, nullptr, nullptr)));
    const ASN1_OCTET_STRING* subject = X509_get0_subject_key_id(issuer);
    if (!authority || !authority->keyid || !subject)
        return true;
    return ASN1_OCTET_STRING_cmp(authority->keyid, subject) == 0;
}

} // namespace

bool IsCrlIssuedBy(X509_CRL* crl, X509* issuer)
{
    if (!crl || !issuer || X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer)) != 0)
        return false;
    // GOST signatures are checked through the engine's algorithms.
    EnsureGostEngine();
    EVP_PKEY* key = X509_get0_pubkey(issuer);
    const bool signedByKey = key && KeyIdentifierAgrees(crl, issuer) && X509_CRL_verify(crl, key) == 1;
    ERR_clear_error();
    return signedByKey;
}

X509* CrlIssuerAmong(X509_CRL* crl, std::span<X509* const> candidates)
{
    for (X509* candidate : candidates)
        if (IsCrlIssuedBy(crl, candidate))
            return candidate;
    return nullptr;
}

bool IsDeltaCrl(X509_CRL* crl) { return X509_CRL_get_ext_by_NID(crl, NID_delta_crl, -1) >= 0; }

} // namespace ordalis
