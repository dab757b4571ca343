#pragma once

// Owning pointers for OpenSSL objects.

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <memory>

namespace ordalis {

template <auto F>
struct OsslFree {
    template <class T>
    void operator()(T* p) const
    {
        F(p);
    }
};

using BioPtr = std::unique_ptr<BIO, OsslFree<BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OsslFree<CMS_ContentInfo_free>>;
using X509Ptr = std::unique_ptr<X509, OsslFree<X509_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, OsslFree<X509_NAME_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OsslFree<EVP_PKEY_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, OsslFree<EVP_PKEY_CTX_free>>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, OsslFree<EVP_MD_CTX_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, OsslFree<PKCS12_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, OsslFree<ASN1_OBJECT_free>>;
using X509CrlPtr = std::unique_ptr<X509_CRL, OsslFree<X509_CRL_free>>;

inline void FreeX509Stack(STACK_OF(X509) * s) { sk_X509_pop_free(s, X509_free); }
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OsslFree<FreeX509Stack>>;

} // namespace ordalis
