#include "cryptomsg/store/CertificateBundle.h"

#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

namespace ordalis {

namespace {

using Pkcs7Ptr = std::unique_ptr<PKCS7, OsslFree<PKCS7_free>>;

// A whole DER PKCS#7 SignedData's certificates and CRLs, appended to bundle; false when it is none.
bool AddPkcs7(std::span<const unsigned char> der, CertificateBundle& bundle)
{
    const unsigned char* p = der.data();
    Pkcs7Ptr pkcs7(d2i_PKCS7(nullptr, &p, static_cast<long>(der.size())));
    if (!pkcs7 || p != der.data() + der.size() || OBJ_obj2nid(pkcs7->type) != NID_pkcs7_signed || !pkcs7->d.sign)
        return false;
    STACK_OF(X509)* certificates = pkcs7->d.sign->cert;
    for (int i = 0; i < sk_X509_num(certificates); ++i) {
        X509* certificate = sk_X509_value(certificates, i);
        X509_up_ref(certificate);
        bundle.certificates.emplace_back(certificate);
    }
    STACK_OF(X509_CRL)* crls = pkcs7->d.sign->crl;
    for (int i = 0; i < sk_X509_CRL_num(crls); ++i) {
        X509_CRL* crl = sk_X509_CRL_value(crls, i);
        X509_CRL_up_ref(crl);
        bundle.crls.emplace_back(crl);
    }
    return true;
}

bool AddDer(std::span<const unsigned char> der, CertificateBundle& bundle)
{
    if (X509Ptr certificate = DecodeCertificate(der)) {
        bundle.certificates.push_back(std::move(certificate));
        return true;
    }
    if (X509CrlPtr crl = DecodeCrl(der)) {
        bundle.crls.push_back(std::move(crl));
        return true;
    }
    return AddPkcs7(der, bundle);
}

bool AddPemBlocks(std::span<const unsigned char> text, CertificateBundle& bundle)
{
    bool any = false;
    for (const PemBlock& block : ReadPemBlocks(text)) {
        const bool known =
            IsCertificateBlock(block) || block.name == "X509 CRL" || block.name == "PKCS7" || block.name == "CMS";
        if (!known)
            continue;
        if (!AddDer(block.data, bundle))
            return false;
        any = true;
    }
    return any;
}

} // namespace

std::optional<CertificateBundle> ReadCertificateBundle(std::span<const unsigned char> bytes)
{
    CertificateBundle bundle;
    const bool read = LooksLikePem(bytes) ? AddPemBlocks(bytes, bundle) : AddDer(bytes, bundle);
    ERR_clear_error();
    if (!read)
        return std::nullopt;
    return bundle;
}

X509CrlPtr DecodeCrl(std::span<const unsigned char> der)
{
    const unsigned char* p = der.data();
    X509CrlPtr crl(d2i_X509_CRL(nullptr, &p, static_cast<long>(der.size())));
    if (!crl || p != der.data() + der.size())
        crl.reset();
    ERR_clear_error();
    return crl;
}

std::string CrlPem(X509_CRL* crl)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509_CRL(bio.get(), crl) != 1) {
        ERR_clear_error();
        return {};
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

} // namespace ordalis
