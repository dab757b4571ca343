#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

bool SameCertificate(PCCERT_CONTEXT context, X509* certificate)
{
    return context && X509_cmp(CertContextX509(context), certificate) == 0;
}

bool SamePublicKey(PCCERT_CONTEXT context, X509* certificate)
{
    return context && EVP_PKEY_eq(X509_get0_pubkey(CertContextX509(context)), X509_get0_pubkey(certificate)) == 1;
}

class GostVerification : public ::testing::TestWithParam<GostCase> {};

TEST_P(GostVerification, OwnSignatureIsValidOnlyForItsExactContent)
{
    const Identity signer = MakeIdentity(GetParam().algorithm);
    const std::string content = PseudoRandomBytes(20000, 6);
    const Outcome signature = SignMessage(signer.context.get(), GetParam().hashOid, content, true);
    ASSERT_TRUE(signature.ok);

    CertContextPtr found;
    const Outcome valid = VerifyDetached(signature.bytes, content, &found);
    EXPECT_TRUE(valid.ok) << std::hex << valid.error;
    EXPECT_TRUE(SameCertificate(found.get(), signer.pair.certificate.get()));
    ASSERT_TRUE(found);
    // The signer's context belongs to its message's certificates, which bring no key.
    ASSERT_NE(found->hCertStore, nullptr);
    CertContextPtr carried(CertEnumCertificatesInStore(found->hCertStore, nullptr));
    EXPECT_TRUE(SameCertificate(carried.get(), signer.pair.certificate.get()));
    EXPECT_FALSE(CertHasPrivateKey(found.get()));

    for (std::size_t at : {std::size_t{0}, content.size() / 2, content.size() - 1}) {
        std::string changed = content;
        changed[at] = static_cast<char>(changed[at] ^ 0x01);
        CertContextPtr none;
        const Outcome invalid = VerifyDetached(signature.bytes, changed, &none);
        EXPECT_FALSE(invalid.ok) << "byte " << at;
        EXPECT_EQ(invalid.error, codes::BadSignature);
        EXPECT_FALSE(none);
    }
    EXPECT_FALSE(VerifyDetached(signature.bytes, content + "x").ok);
    EXPECT_FALSE(VerifyDetached(signature.bytes, content.substr(1)).ok);
}

INSTANTIATE_TEST_SUITE_P(Keys, GostVerification, ::testing::ValuesIn(GostCases()),
                         [](const auto& info) { return CaseName(info.param.algorithm); });

// Signatures made by the openssl command line with the GOST engine.
class OpenSslSignatures : public ::testing::Test {
protected:
    void SetUp() override
    {
        first = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=First signer");
        second = MakeIdentity(KeyAlgorithm::Gost2001, "CN=Second signer");
        WriteCertificatePem(first, dir.file("first.pem"));
        WriteKeyPem(first, dir.file("first.key"));
        WriteCertificatePem(second, dir.file("second.pem"));
        WriteKeyPem(second, dir.file("second.key"));
        WriteFile(dir.file("data.bin"), content);
    }

    std::string sign(const std::string& options)
    {
        std::string log;
        EXPECT_EQ(RunOpenSsl(dir.path(), "cms -sign -binary -in data.bin -outform DER -out made.sig " + options, &log),
                  0)
            << log;
        return ReadFile(dir.file("made.sig"));
    }

    TempDir dir;
    Identity first, second;
    const std::string content = PseudoRandomBytes(9000, 7);
};

TEST_F(OpenSslSignatures, WithAndWithoutSignedAttributesVerify)
{
    for (const std::string attributes : {"", " -noattr"}) {
        const std::string signature = sign("-md md_gost12_256 -signer first.pem -inkey first.key" + attributes);
        CertContextPtr found;
        const Outcome valid = VerifyDetached(signature, content, &found);
        EXPECT_TRUE(valid.ok) << attributes << std::hex << valid.error;
        EXPECT_TRUE(SameCertificate(found.get(), first.pair.certificate.get()));

        std::string changed = content;
        changed[100] = static_cast<char>(changed[100] ^ 0x80);
        const Outcome invalid = VerifyDetached(signature, changed);
        EXPECT_FALSE(invalid.ok) << attributes;
        // With attributes the content's digest no longer matches the signed one.
        EXPECT_EQ(invalid.error, attributes.empty() ? codes::HashValue : codes::BadSignature);
    }
}

TEST_F(OpenSslSignatures, OfTwoSignersOnlyTheFirstInTheMessageIsReported)
{
    // Each signer with its key's own digest.
    const std::string signature = sign("-signer first.pem -inkey first.key -signer second.pem -inkey second.key");
    const unsigned char* p = reinterpret_cast<const unsigned char*>(signature.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(signature.size())));
    ASSERT_TRUE(cms);
    ASSERT_EQ(sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(cms.get())), 2);
    CMS_SignerInfo* listedFirst = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    const Identity& expected = CMS_SignerInfo_cert_cmp(listedFirst, first.pair.certificate.get()) == 0 ? first : second;

    CertContextPtr found;
    const Outcome valid = VerifyDetached(signature, content, &found);
    EXPECT_TRUE(valid.ok) << std::hex << valid.error;
    EXPECT_TRUE(SameCertificate(found.get(), expected.pair.certificate.get()));
}

TEST(DamagedSignatures, EveryDamagedOrForeignSignatureIsInvalidWithACode)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const std::string content = "the signed content";
    const std::string good = SignMessage(signer.context.get(), "1.2.643.7.1.1.2.2", content, true).bytes;
    ASSERT_FALSE(good.empty());
    std::string lastByteChanged = good;
    lastByteChanged.back() = static_cast<char>(lastByteChanged.back() ^ 0x01); // inside the signature value
    const Outcome envelope = EncryptMessage({signer.context.get()}, "1.2.643.7.1.1.1.1", content);
    ASSERT_TRUE(envelope.ok);

    struct Case {
        const char* what;
        std::string signature;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"empty", "", codes::Asn1Eod},
        {"truncated", good.substr(0, good.size() / 2), codes::Asn1Eod},
        {"one byte short", good.substr(0, good.size() - 1), codes::Asn1Eod},
        {"signature value changed", lastByteChanged, codes::BadSignature},
        {"trailing byte", good + std::string(1, '\0'), codes::Asn1Corrupt},
        {"not DER at all", PseudoRandomBytes(500, 8), 0},
        {"an envelope", envelope.bytes, codes::UnexpectedMsgType},
    };
    for (const Case& c : cases) {
        CertContextPtr found;
        const Outcome outcome = VerifyDetached(c.signature, content, &found);
        EXPECT_FALSE(outcome.ok) << c.what;
        EXPECT_FALSE(found) << c.what;
        if (c.code) {
            EXPECT_EQ(outcome.error, c.code) << c.what;
        } else {
            EXPECT_NE(outcome.error, 0u) << c.what;
        }
    }
}

TEST(DamagedSignatures, NoSingleByteChangeGivesAValidVerdictForAnotherKey)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const std::string content = "content";
    const std::string good = SignMessage(signer.context.get(), "1.2.643.7.1.1.2.2", content, true).bytes;
    ASSERT_FALSE(good.empty());
    // A change in the certificate's descriptive fields leaves the signature
    // valid (no chain is built); anywhere else it must make it invalid.
    for (std::size_t at = 0; at < good.size(); ++at) {
        std::string damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        CertContextPtr found;
        const Outcome outcome = VerifyDetached(damaged, content, &found);
        if (outcome.ok) {
            EXPECT_TRUE(SamePublicKey(found.get(), signer.pair.certificate.get())) << "byte " << at;
        } else {
            EXPECT_NE(outcome.error, 0u) << "byte " << at;
        }
    }
}

TEST(AttachedSignatures, AreCheckedAsDetachedOnlyAgainstTheContentTheyHold)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_512);
    const std::string content = PseudoRandomBytes(3000, 9);
    const Outcome attached = SignMessage(signer.context.get(), "1.2.643.7.1.1.2.3", content, false);
    ASSERT_TRUE(attached.ok);
    EXPECT_TRUE(VerifyDetached(attached.bytes, content).ok);
    const Outcome other = VerifyDetached(attached.bytes, "other content");
    EXPECT_FALSE(other.ok);
    EXPECT_EQ(other.error, codes::HashValue);
}

TEST(VerificationArguments, SeveralContentPartsAreOneContentAndBadCallsFail)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const std::string a = "first part, ", b = "second part";
    const std::string signature = SignMessage(signer.context.get(), "1.2.643.7.1.1.2.2", a + b, true).bytes;
    CRYPT_VERIFY_MESSAGE_PARA para{kVerifyMessageParaSize, kEncodingType, nullptr, nullptr, nullptr};
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(a.data()), reinterpret_cast<const BYTE*>(b.data())};
    DWORD sizes[] = {static_cast<DWORD>(a.size()), static_cast<DWORD>(b.size())};
    const BYTE* der = reinterpret_cast<const BYTE*>(signature.data());
    const DWORD derSize = static_cast<DWORD>(signature.size());

    EXPECT_TRUE(CryptVerifyDetachedMessageSignature(&para, 0, der, derSize, 2, parts, sizes, nullptr));
    PCCERT_CONTEXT found = reinterpret_cast<PCCERT_CONTEXT>(&para); // must be reset on failure
    EXPECT_FALSE(CryptVerifyDetachedMessageSignature(&para, 1, der, derSize, 2, parts, sizes, &found));
    EXPECT_EQ(GetLastError(), codes::InvalidIndex);
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(CryptVerifyDetachedMessageSignature(nullptr, 0, der, derSize, 2, parts, sizes, nullptr));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    CRYPT_VERIFY_MESSAGE_PARA otherEncoding = para;
    otherEncoding.dwMsgAndCertEncodingType = X509_ASN_ENCODING;
    EXPECT_FALSE(CryptVerifyDetachedMessageSignature(&otherEncoding, 0, der, derSize, 2, parts, sizes, nullptr));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_FALSE(CryptVerifyDetachedMessageSignature(&para, 0, nullptr, derSize, 2, parts, sizes, nullptr));
}

} // namespace
} // namespace ordalis::test
