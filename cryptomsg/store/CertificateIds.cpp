#include "cryptomsg/store/CertificateIds.h"

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

namespace ordalis {

std::string CertificateSerialHex(const X509* certificate)
{
    return SerialNumberHex(X509_get0_serialNumber(certificate));
}

std::string SerialNumberHex(const ASN1_INTEGER* serial)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !serial || i2a_ASN1_INTEGER(bio.get(), serial) <= 0) {
        ERR_clear_error();
        return {};
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

namespace {

// A SHA-1 digest as upper-case hex; empty (and no error queued) when it failed.
std::string UpperHexDigest(bool made, const unsigned char* digest, unsigned int length)
{
    char text[2 * EVP_MAX_MD_SIZE + 1];
    if (!made || OPENSSL_buf2hexstr_ex(text, sizeof text, nullptr, digest, length, '\0') != 1) {
        ERR_clear_error();
        return {};
    }
    return text;
}

} // namespace

std::string CertificateThumbprint(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool made = X509_digest(certificate, EVP_sha1(), digest, &length) == 1;
    return UpperHexDigest(made, digest, length);
}

std::string CrlThumbprint(X509_CRL* crl)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool made = X509_CRL_digest(crl, EVP_sha1(), digest, &length) == 1;
    return UpperHexDigest(made, digest, length);
}

} // namespace ordalis
