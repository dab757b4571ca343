#include "tests/support/Tc26Examples.h"

#include "cryptomsg/cryptoapi/Ossl.h"
#include "tests/support/TempDir.h"

#include <openssl/pem.h>

#include <stdexcept>

namespace ordalis::test {

namespace {

// The DER inside a PEM file, as it is.
std::string PemBody(const std::string& pem)
{
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (!bio || PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1)
        throw std::runtime_error("not a PEM file");
    std::string der(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    OPENSSL_free(name);
    OPENSSL_free(header);
    OPENSSL_free(data);
    return der;
}

// Replaces the one occurrence of from by to (same length).
void ReplaceOnce(std::string& bytes, const std::string& from, const std::string& to)
{
    const std::size_t at = bytes.find(from);
    if (at == std::string::npos || bytes.find(from, at + 1) != std::string::npos)
        throw std::runtime_error("the example is not the one expected");
    bytes.replace(at, from.size(), to);
}

} // namespace

std::string Tc26File(const std::string& name) { return std::string(ORDALIS_TEST_DATA) + "/tc26/" + name; }

std::string Tc26Der(const std::string& name) { return PemBody(ReadFile(Tc26File(name))); }

std::string Tc26Plaintext()
{
    return "\xCA\xEE\xED\xF2\xF0\xEE\xEB\xFC\xED\xFB\xE9 \xEF\xF0\xE8\xEC\xE5\xF0 \xE4\xEB\xFF "
           "\xF1\xF2\xF0\xF3\xEA\xF2\xF3\xF0\xFB EnvelopedData.";
}

std::string Tc26SwappedAgreement()
{
    std::string der = Tc26Der("encrypted_keyagree_a221.pem");
    // The serial numbers 018CBA82 (sender) and 018CBA83 (recipient), both issued by the same CA.
    const std::string sender("\x02\x04\x01\x8C\xBA\x82", 6);
    const std::string recipient("\x02\x04\x01\x8C\xBA\x83", 6);
    const std::string placeholder("\x02\x04\x00\x00\x00\x00", 6);
    ReplaceOnce(der, sender, placeholder);
    ReplaceOnce(der, recipient, sender);
    ReplaceOnce(der, placeholder, recipient);
    return der;
}

std::string Tc26SwappedAgreementPem()
{
    const std::string der = Tc26SwappedAgreement();
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio(bio.get(), "CMS", "", reinterpret_cast<const unsigned char*>(der.data()),
                              static_cast<long>(der.size())) <= 0)
        throw std::runtime_error("cannot write PEM");
    char* text = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &text);
    return std::string(text, static_cast<std::size_t>(length));
}

} // namespace ordalis::test
