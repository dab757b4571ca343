#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace ordalis::test {
namespace {

std::string OidOfNid(int nid)
{
    char text[64] = {0};
    const ASN1_OBJECT* object = OBJ_nid2obj(nid);
    return object && OBJ_obj2txt(text, sizeof text, object, 1) > 0 ? text : "";
}

struct KeyCase {
    const char* keyOid;
    const char* hashOid;
    const char* keyName;
};

void PrintTo(const KeyCase& key, std::ostream* out) { *out << key.keyOid; }

class GostRow : public ::testing::TestWithParam<KeyCase> {
protected:
    void SetUp() override { ASSERT_TRUE(EnsureGostEngine()); }
};

// Each row must agree with itself as OpenSSL and the engine see it: a name
// or a number that points at another algorithm than its OID signs or
// encrypts with something else than the certificate says.
TEST_P(GostRow, AgreesWithWhatOpenSslKnowsOfItsAlgorithms)
{
    const GostAlgorithm* row = GostAlgorithmForKey(GetParam().keyOid);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->hashOid, GetParam().hashOid);
    EXPECT_STREQ(row->keyName, GetParam().keyName);
    EXPECT_EQ(OidOfNid(row->keyNid), GetParam().keyOid);
    EXPECT_EQ(GostAlgorithmForKeyNid(row->keyNid), row);

    const EVP_MD* md = EVP_get_digestbyname(row->hashName);
    ASSERT_NE(md, nullptr) << row->hashName;
    EXPECT_EQ(OidOfNid(EVP_MD_get_type(md)), GetParam().hashOid);

    int hashNid = NID_undef, keyNid = NID_undef;
    ASSERT_EQ(OBJ_find_sigid_algs(OBJ_txt2nid(row->signatureOid), &hashNid, &keyNid), 1) << row->signatureOid;
    EXPECT_EQ(OidOfNid(hashNid), GetParam().hashOid);
    EXPECT_EQ(OidOfNid(keyNid), GetParam().keyOid);

    // Envelopes write the encrypted content in place of the plain one: a stream cipher.
    const EVP_CIPHER* cipher = EVP_get_cipherbynid(row->contentCipherNid);
    ASSERT_NE(cipher, nullptr);
    EXPECT_EQ(OidOfNid(EVP_CIPHER_get_nid(cipher)), "1.2.643.2.2.21");
    EXPECT_EQ(EVP_CIPHER_get_block_size(cipher), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, GostRow,
    ::testing::Values(KeyCase{"1.2.643.2.2.19", "1.2.643.2.2.9", "ГОСТ Р 34.10-2001"},
                      KeyCase{"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2", "ГОСТ Р 34.10-2012 256 бит"},
                      KeyCase{"1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3", "ГОСТ Р 34.10-2012 512 бит"}));

TEST(GostAlgorithms, HaveOneRowPerKeyAlgorithmAndNoneForOtherKeys)
{
    EXPECT_EQ(GostAlgorithms().size(), 3u);
    EXPECT_EQ(GostAlgorithmForKey("1.2.840.113549.1.1.1"), nullptr); // RSA
    EXPECT_EQ(GostAlgorithmForKey("1.2.643.7.1.1.2.2"), nullptr);    // a digest, not a key
    EXPECT_EQ(GostAlgorithmForKey("1.2.643.7.1.1.1"), nullptr);      // a prefix of a key's OID
    EXPECT_EQ(GostAlgorithmForKey(nullptr), nullptr);
    EXPECT_EQ(GostAlgorithmForKeyNid(NID_rsaEncryption), nullptr);
}

TEST(GostAlgorithms, NameKeysAndSignaturesOnly)
{
    EXPECT_STREQ(GostAlgorithmName("1.2.643.7.1.1.3.3"), "ГОСТ Р 34.11-2012/34.10-2012 512 бит");
    EXPECT_STREQ(GostAlgorithmName("1.2.643.2.2.3"), "ГОСТ Р 34.11-94/34.10-2001");
    EXPECT_STREQ(GostAlgorithmName("1.2.643.7.1.1.1.2"), "ГОСТ Р 34.10-2012 512 бит");
    EXPECT_EQ(GostAlgorithmName("1.2.643.2.2.9"), nullptr);
    EXPECT_EQ(GostAlgorithmName("1.2.840.113549.1.1.11"), nullptr);
    EXPECT_EQ(GostAlgorithmName(nullptr), nullptr);
}

TEST(GostAlgorithms, ArcIsTheRussianNationalOneWholeArcsOnly)
{
    EXPECT_TRUE(IsInGostArc("1.2.643.2.2.20"));
    EXPECT_TRUE(IsInGostArc("1.2.643.7.1.2.1.1.1"));
    EXPECT_FALSE(IsInGostArc("1.2.6430.1"));
    EXPECT_FALSE(IsInGostArc("1.2.643"));
    EXPECT_FALSE(IsInGostArc("1.2.840.113549.1.1.1"));
    EXPECT_FALSE(IsInGostArc(nullptr));
}

} // namespace
} // namespace ordalis::test
