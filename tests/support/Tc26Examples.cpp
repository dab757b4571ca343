#include "tests/support/Tc26Examples.h"

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/TempDir.h"

#include <openssl/conf.h>
#include <openssl/pem.h>

#include <memory>
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

std::string Tc26SwappedAgreementByKeyId()
{
    // The originator is the key identifier of recipient256_cert.pem; with its
    // issuer and serial number instead, this description gives the swapped example byte for byte.
    static const char description[] = R"(
[contentInfo]
type = OID:pkcs7-envelopedData
content = EXPLICIT:0,SEQUENCE:envelope
[envelope]
version = INT:2
recipients = SET:recipients
encrypted = SEQUENCE:encryptedContent
[recipients]
agreement = IMPLICIT:1,SEQUENCE:agreement
[agreement]
version = INT:3
originator = EXPLICIT:0,IMPLICIT:0,FORMAT:HEX,OCTETSTRING:BB9EF8F51BF4E7BEA7388153E32F35E8E382BCC5
ukm = EXPLICIT:1,FORMAT:HEX,OCTETSTRING:6F71FCAE485E7BCBCBD5C9AC3C674721DF08C2E253CA4EBA55457B72E11864E4
algorithm = SEQUENCE:wrapAlgorithm
keys = SEQUENCE:encryptedKeys
[wrapAlgorithm]
algorithm = OID:1.2.643.7.1.1.7.1.1
parameters = SEQUENCE:agreementAlgorithm
[agreementAlgorithm]
algorithm = OID:1.2.643.7.1.1.6.1
[encryptedKeys]
key = SEQUENCE:encryptedKey
[encryptedKey]
recipient = SEQUENCE:recipientId
value = FORMAT:HEX,OCTETSTRING:4F6E2E8192B5EE2CF7B13C02F6A141821560C6407A8834BE44C6E3011BBFF95D046AAE22804556B4
[recipientId]
issuer = SEQUENCE:caName
serial = INT:0x018CBA82
[caName]
organization = SET:organizationRdn
common = SET:commonNameRdn
[organizationRdn]
attribute = SEQUENCE:organization
[organization]
type = OID:organizationName
value = PRINTABLESTRING:TK26
[commonNameRdn]
attribute = SEQUENCE:commonName
[commonName]
type = OID:commonName
value = PRINTABLESTRING:CA TK26: GOST 34.10-12 256-bit
[encryptedContent]
type = OID:pkcs7-data
algorithm = SEQUENCE:contentAlgorithm
content = IMPLICIT:0,FORMAT:HEX,OCTETSTRING:4ED9B6324C6409F165101AAD331F0CD72F48C58561D3175B5C03162677DA57E62F3D53023186D62ACA35F54078EEDA
[contentAlgorithm]
algorithm = OID:1.2.643.7.1.1.5.1.1
parameters = SEQUENCE:contentParameters
[contentParameters]
ukm = FORMAT:HEX,OCTETSTRING:74D7422A7600000030A93103
)";
    std::unique_ptr<CONF, OsslFree<NCONF_free>> conf(NCONF_new(nullptr));
    BioPtr text(BIO_new_mem_buf(description, -1));
    long errorLine = 0;
    if (!conf || NCONF_load_bio(conf.get(), text.get(), &errorLine) != 1)
        throw std::runtime_error("cannot read the envelope's description");
    std::unique_ptr<ASN1_TYPE, OsslFree<ASN1_TYPE_free>> value(ASN1_generate_nconf("SEQUENCE:contentInfo", conf.get()));
    unsigned char* der = nullptr;
    const int length = value ? i2d_ASN1_TYPE(value.get(), &der) : 0;
    if (length <= 0)
        throw std::runtime_error("cannot encode the envelope");
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
    OPENSSL_free(der);
    return bytes;
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

void ImportTc26SenderKeyPair()
{
    ImportFile(Tc26File("sender256_cert.pem"), {}, "MY");
    ImportFile(Tc26File("sender256_key.pem"), {}, "MY");
}

} // namespace ordalis::test
