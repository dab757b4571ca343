#include "cryptomsg/store/CertificateIds.h"

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/err.h>

namespace ordalis {

std::string CertificateSerialHex(const X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || i2a_ASN1_INTEGER(bio.get(), X509_get0_serialNumber(certificate)) <= 0) {
        ERR_clear_error();
        return {};
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string CertificateThumbprint(const X509* certificate)
{
    static const char digits[] = "0123456789ABCDEF";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &length) != 1) {
        ERR_clear_error();
        return {};
    }
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}

} // namespace ordalis
