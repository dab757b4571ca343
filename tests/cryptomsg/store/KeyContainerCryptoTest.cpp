#include "cryptomsg/store/KeyContainerCrypto.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/KeyContainerFormat.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <openssl/obj_mac.h>
#include <openssl/rand.h>

namespace ordalis::test {
namespace {

class KeyContainerCrypto : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(EnsureGostEngine()); }

    static SecureBytes Random(std::size_t size)
    {
        SecureBytes bytes(size);
        EXPECT_EQ(RAND_bytes(bytes.data(), static_cast<int>(size)), 1);
        return bytes;
    }
};

TEST_F(KeyContainerCrypto, MaskingIsUndoneByUnmaskingOnEveryCurve)
{
    const struct {
        int keyNid;
        const char* curve;
    } curves[] = {{NID_id_GostR3410_2001, "1.2.643.2.2.35.1"},
                  {NID_id_GostR3410_2012_256, "1.2.643.2.2.36.0"},
                  {NID_id_GostR3410_2012_256, "1.2.643.7.1.2.1.1.1"},
                  {NID_id_GostR3410_2012_512, "1.2.643.7.1.2.1.2.1"}};
    for (const auto& c : curves) {
        const std::unique_ptr<ContainerCurve> curve = ContainerCurve::ForParameterSet(c.keyNid, c.curve);
        ASSERT_TRUE(curve) << c.curve;
        // A key below q: a fresh mask is one.
        const SecureBytes key = curve->newMask();
        const SecureBytes mask = curve->newMask();
        ASSERT_EQ(key.size(), curve->scalarSize());
        EXPECT_NE(key, mask) << "masks are random";
        const SecureBytes masked = curve->mask(key, mask);
        EXPECT_NE(masked, key);
        EXPECT_EQ(curve->unmask(masked, mask), key) << c.curve;
        EXPECT_EQ(curve->fingerprint(key).size(), kContainerFingerprintSize);
        EXPECT_NE(curve->fingerprint(key), curve->fingerprint(mask));
        EXPECT_TRUE(curve->unmask(masked, SecureBytes(curve->scalarSize(), 0)).empty()) << "a zero mask has no inverse";
    }
    EXPECT_FALSE(ContainerCurve::ForParameterSet(NID_id_GostR3410_2012_256, "1.2.3.4"));
}

TEST_F(KeyContainerCrypto, CipherIsBlockByBlockAndUndoesItself)
{
    for (const KeyContainerScheme scheme : {KeyContainerScheme::Gost2001, KeyContainerScheme::Gost2012}) {
        const SecureBytes key = Random(32);
        SecureBytes plain = Random(64);
        std::copy_n(plain.begin(), 8, plain.begin() + 8); // two equal blocks
        const SecureBytes encrypted = ContainerKeyCipher(scheme, key, plain, true);
        ASSERT_EQ(encrypted.size(), plain.size());
        EXPECT_TRUE(std::equal(encrypted.begin(), encrypted.begin() + 8, encrypted.begin() + 8))
            << "each block is encrypted on its own";
        EXPECT_EQ(ContainerKeyCipher(scheme, key, encrypted, false), plain);
        EXPECT_TRUE(ContainerKeyCipher(scheme, key, SecureBytes(12), true).empty()) << "whole blocks only";
    }
    // The two schemes' S-boxes differ.
    const SecureBytes key = Random(32), plain = Random(32);
    EXPECT_NE(ContainerKeyCipher(KeyContainerScheme::Gost2001, key, plain, true),
              ContainerKeyCipher(KeyContainerScheme::Gost2012, key, plain, true));
}

TEST_F(KeyContainerCrypto, PinKeyDependsOnPinSaltAndScheme)
{
    const SecureBytes salt = Random(kContainerSaltSize), otherSalt = Random(kContainerSaltSize);
    const SecureBytes withPin = DeriveContainerKey(KeyContainerScheme::Gost2012, salt, "123456");
    ASSERT_EQ(withPin.size(), 32u);
    EXPECT_EQ(DeriveContainerKey(KeyContainerScheme::Gost2012, salt, "123456"), withPin);
    EXPECT_NE(DeriveContainerKey(KeyContainerScheme::Gost2012, salt, "123457"), withPin);
    EXPECT_NE(DeriveContainerKey(KeyContainerScheme::Gost2012, otherSalt, "123456"), withPin);
    EXPECT_NE(DeriveContainerKey(KeyContainerScheme::Gost2001, salt, "123456"), withPin);
    const SecureBytes none = DeriveContainerKey(KeyContainerScheme::Gost2012, salt, "");
    EXPECT_EQ(none.size(), 32u);
    EXPECT_NE(none, withPin);

    const SecureBytes mask = Random(32);
    const Bytes check = MasksCheckValue(KeyContainerScheme::Gost2012, mask, salt);
    EXPECT_EQ(check.size(), 4u);
    EXPECT_NE(MasksCheckValue(KeyContainerScheme::Gost2012, mask, otherSalt), check);
}

TEST_F(KeyContainerCrypto, HeaderKeepsItsFieldsThroughEncoding)
{
    KeyContainerHeader header;
    header.containerAlgorithmOid = "1.2.643.2.2.37.2.1";
    header.softPassword = true;
    header.reservePrimary = true;
    header.primary = {true, false, "1.2.643.7.1.1.6.1", "1.2.643.2.2.36.0", "1.2.643.7.1.1.2.2"};
    header.certificate = {0x30, 0x03, 0x02, 0x01, 0x05};
    header.fingerprint = {1, 2, 3, 4, 5, 6, 7, 8};
    header.hmac = {9, 9, 9, 9};
    const Bytes der = EncodeContainerHeader(header);
    ASSERT_FALSE(der.empty());
    const std::optional<KeyContainerHeader> decoded = DecodeContainerHeader(der);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->containerAlgorithmOid, header.containerAlgorithmOid);
    EXPECT_TRUE(decoded->softPassword);
    EXPECT_TRUE(decoded->reservePrimary);
    EXPECT_TRUE(decoded->primary.exchangeKey);
    EXPECT_FALSE(decoded->primary.exportable);
    EXPECT_EQ(decoded->primary.algorithmOid, header.primary.algorithmOid);
    EXPECT_EQ(decoded->primary.curveOid, header.primary.curveOid);
    EXPECT_EQ(decoded->primary.digestOid, header.primary.digestOid);
    EXPECT_EQ(decoded->certificate, header.certificate);
    EXPECT_EQ(decoded->fingerprint, header.fingerprint);
    EXPECT_EQ(decoded->hmac, header.hmac);
    EXPECT_TRUE(decoded->hmacPassword.empty());
    // The certificate goes under the implicit tag [5], as the vendor writes it.
    const unsigned char tagged[] = {0x85, 0x05, 0x30, 0x03};
    EXPECT_NE(std::search(der.begin(), der.end(), std::begin(tagged), std::end(tagged)), der.end());

    Bytes trailing = der;
    trailing.push_back(0);
    EXPECT_FALSE(DecodeContainerHeader(trailing));
    EXPECT_FALSE(DecodeContainerMasks(der));

    const Bytes name = EncodeContainerName("a1b2c3d4.000");
    EXPECT_EQ(DecodeContainerName(name), std::optional<std::string>("a1b2c3d4.000"));
}

} // namespace
} // namespace ordalis::test
