// Envelopes whose content cipher comes with parameters the GOST engine cannot
// read: they are refused with a code, and never reach the engine, which would
// crash on them.

#include "common/ErrorCodes.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"
#include "tests/support/TestStore.h"

#include <openssl/conf.h>
#include <openssl/pkcs7.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace ordalis::test {
namespace {

using Asn1TypePtr = std::unique_ptr<ASN1_TYPE, OsslFree<ASN1_TYPE_free>>;

constexpr const char* kGost89 = "1.2.643.2.2.21";
constexpr const char* kKuznyechikCtrAcpkm = "1.2.643.7.1.1.5.2.1";
constexpr const char* kMagmaCtrAcpkm = "1.2.643.7.1.1.5.1.1";

// Parameter values described in OpenSSL's ASN.1 generator language.
Asn1TypePtr Generated(const char* value, const char* sections = "")
{
    std::unique_ptr<CONF, OsslFree<NCONF_free>> conf(NCONF_new(nullptr));
    BioPtr text(BIO_new_mem_buf(sections, -1));
    long errorLine = 0;
    if (!conf || NCONF_load_bio(conf.get(), text.get(), &errorLine) != 1)
        return nullptr;
    return Asn1TypePtr(ASN1_generate_nconf(value, conf.get()));
}

// The envelope with its content-encryption algorithm replaced (parameters absent
// when null), re-encoded by OpenSSL's PKCS #7 code.
std::string WithContentCipher(const std::string& envelope, const char* oid, const ASN1_TYPE* parameters)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(envelope.data());
    std::unique_ptr<PKCS7, OsslFree<PKCS7_free>> message(d2i_PKCS7(nullptr, &p, static_cast<long>(envelope.size())));
    if (!message || !PKCS7_type_is_enveloped(message.get()))
        return {};
    ASN1_TYPE* copy = nullptr;
    if (parameters) {
        copy = ASN1_TYPE_new();
        if (!copy || ASN1_TYPE_set1(copy, parameters->type, parameters->value.ptr) != 1)
            return {};
    }
    X509_ALGOR* algorithm = message->d.enveloped->enc_data->algorithm;
    if (X509_ALGOR_set0(algorithm, OBJ_txt2obj(oid, 1), copy ? copy->type : V_ASN1_UNDEF,
                        copy ? copy->value.ptr : nullptr) != 1)
        return {};
    if (copy) {
        copy->value.ptr = nullptr; // now the algorithm's
        ASN1_TYPE_free(copy);
    }
    unsigned char* der = nullptr;
    const int length = i2d_PKCS7(message.get(), &der);
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<std::size_t>(std::max(length, 0)));
    OPENSSL_free(der);
    return bytes;
}

class ContentCipherParameters : public EnvelopeTest {
protected:
    ContentCipherParameters() : EnvelopeTest(3000, 8) {}
};

TEST_F(ContentCipherParameters, TheSameParametersReEncodedStillDecrypt)
{
    // The rewriting itself keeps a message whole: only what the cases change differs.
    const Asn1TypePtr same = Generated("SEQUENCE:p", R"(
[p]
iv = FORMAT:HEX,OCTETSTRING:0001020304050607
set = OID:1.2.643.7.1.2.5.1.1
)");
    ASSERT_TRUE(same);
    const std::string rewritten = WithContentCipher(envelope, kGost89, same.get());
    ASSERT_FALSE(rewritten.empty());
    const Outcome opened = DecryptMessage({my.get()}, rewritten);
    ASSERT_TRUE(opened.ok) << std::hex << opened.error;
    EXPECT_EQ(opened.bytes.size(), content.size()) << "another IV garbles the content but keeps its length";

    for (const auto& [cipher, ukm] : {std::pair{kMagmaCtrAcpkm, "000102030405060708090A0B"},
                                      std::pair{kKuznyechikCtrAcpkm, "000102030405060708090A0B0C0D0E0F"}}) {
        const Asn1TypePtr sound =
            Generated("SEQUENCE:p", ("[p]\nukm = FORMAT:HEX,OCTETSTRING:" + std::string(ukm) + "\n").c_str());
        const Outcome other = DecryptMessage({my.get()}, WithContentCipher(envelope, cipher, sound.get()));
        EXPECT_TRUE(other.ok) << cipher << std::hex << " " << other.error;
    }
}

TEST_F(ContentCipherParameters, ParametersTheEngineCannotReadAreRefusedWithACode)
{
    struct Case {
        const char* what;
        const char* cipher;
        Asn1TypePtr parameters;
    };
    Case cases[] = {
        {"GOST 28147-89 without parameters", kGost89, nullptr},
        {"the IV as an INTEGER", kGost89,
         Generated("SEQUENCE:p", "[p]\niv = INTEGER:0x0001020304050607\n"
                                 "set = OID:1.2.643.7.1.2.5.1.1\n")},
        {"the IV alone", kGost89, Generated("SEQUENCE:p", "[p]\niv = FORMAT:HEX,OCTETSTRING:0001020304050607\n")},
        {"an element too many", kGost89,
         Generated("SEQUENCE:p", "[p]\niv = FORMAT:HEX,OCTETSTRING:0001020304050607\n"
                                 "set = OID:1.2.643.7.1.2.5.1.1\nmore = NULL\n")},
        {"an empty SEQUENCE", kGost89, Generated("SEQUENCE:p", "[p]\n")},
        {"Kuznyechik without parameters", kKuznyechikCtrAcpkm, nullptr},
        // These the engine refuses to read, then decrypts with a zero IV and reports success.
        {"Kuznyechik's UKM outside its SEQUENCE", kKuznyechikCtrAcpkm,
         Generated("FORMAT:HEX,OCTETSTRING:000102030405060708090A0B0C0D0E0F")},
        {"Kuznyechik with Magma's UKM length", kKuznyechikCtrAcpkm,
         Generated("SEQUENCE:p", "[p]\nukm = FORMAT:HEX,OCTETSTRING:000102030405060708090A0B\n")},
        {"Magma with Kuznyechik's UKM length", kMagmaCtrAcpkm,
         Generated("SEQUENCE:p", "[p]\nukm = FORMAT:HEX,OCTETSTRING:000102030405060708090A0B0C0D0E0F\n")},
        {"Magma with an element too many", kMagmaCtrAcpkm,
         Generated("SEQUENCE:p", "[p]\nukm = FORMAT:HEX,OCTETSTRING:000102030405060708090A0B\nmore = NULL\n")},
    };
    for (const Case& c : cases) {
        const std::string damaged = WithContentCipher(envelope, c.cipher, c.parameters.get());
        ASSERT_FALSE(damaged.empty()) << c.what;
        const Outcome opened = DecryptMessage({my.get()}, damaged);
        EXPECT_FALSE(opened.ok) << c.what;
        EXPECT_EQ(opened.error, codes::Asn1Corrupt) << c.what;
    }
}

} // namespace
} // namespace ordalis::test
