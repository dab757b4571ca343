// ordalis-cli verify of long-term signatures: timestamps checked, and the
// signer's path judged at the time they prove, against stores that change.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/CmsParts.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestTsa.h"

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/cms.h>
#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace ordalis::test {
namespace {

constexpr long kHour = 3600;

std::string Encode(CMS_ContentInfo* cms)
{
    unsigned char* out = nullptr;
    const int length = i2d_CMS_ContentInfo(cms, &out);
    std::string der(reinterpret_cast<char*>(out), static_cast<std::size_t>(length));
    OPENSSL_free(out);
    return der;
}

// Authorities valid from five hours ago, so that a timestamp can prove a time hours back.
ChainOptions AuthoritiesFromHoursAgo(const ValidityWindow& signer)
{
    ChainOptions options;
    options.intermediate = {-5 * kHour, 30L * 24 * kHour};
    options.signer = signer;
    return options;
}

ChainExtras RootFromHoursAgo()
{
    ChainExtras extras;
    extras.root = ValidityWindow{-5 * kHour, 30L * 24 * kHour};
    return extras;
}

std::string Thumbprint(const std::string& pemCertificate)
{
    BioPtr in(BIO_new_file(pemCertificate.c_str(), "r"));
    X509Ptr certificate(PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate.get(), EVP_sha1(), digest, &length);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", digest[i]);
        hex += two;
    }
    return hex;
}

class LongTermVerifyOf : public ::testing::Test {
protected:
    explicit LongTermVerifyOf(const ChainOptions& options)
        : chain(store.path("chain"), options, RootFromHoursAgo()),
          tsaKeys(chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping,
                                     {-5 * kHour, 30L * 24 * kHour})),
          tsa(tsaKeys.certificate, tsaKeys.key)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        WriteFile(file("contract.txt"), "Contract between the parties\r\n");
        TrustChainRoot(chain);
        ImportFile(chain.signer(), {});
        ImportFile(chain.signerKey(), {});
    }

    std::string file(const std::string& name) const { return store.path(name); }
    std::string signature() const { return file("contract.txt.sig"); }

    CliRun sign(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args = {"sign", file("contract.txt"), "--cert", "Test Signer", "--cades"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCliCaptured(args);
    }

    CliRun verify(const std::vector<std::string>& extra = {"--details", "--trusted"})
    {
        std::vector<std::string> args = {"verify", file("contract.txt"), signature()};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCliCaptured(args);
    }

    // Everything of CA goes: its certificates and CRLs.
    void emptyCaStore() { std::filesystem::remove_all(store.dataHome() + "/ordalis/certstore/CA"); }

    ScopedLanguage english{"C"};
    TestStore store;
    OpenSslChain chain;
    PemPair tsaKeys;
    TestTsa tsa;
};

// The signer's certificate was valid from four hours ago to one hour ago.
class LongTermVerify : public LongTermVerifyOf {
protected:
    LongTermVerify() : LongTermVerifyOf(AuthoritiesFromHoursAgo({-4 * kHour, -kHour})) {}
};

// The signer's certificate is valid from an hour ago for a month.
class CurrentSigner : public LongTermVerifyOf {
protected:
    CurrentSigner() : LongTermVerifyOf(AuthoritiesFromHoursAgo({})) {}
};

TEST_F(LongTermVerify, XLongSignatureOutlivesItsCertificateAndTheCaStore)
{
    PutChainCrls(chain);
    tsa.setClockOffset(-2 * kHour); // the authority proves a time inside the signer's validity
    const CliRun signing = sign({"--tsa", tsa.url(), "--level", "xlt1"});
    ASSERT_EQ(signing.status, 0) << signing.err;

    emptyCaStore();
    const CliRun run = verify();
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Время подписи подтверждено штампом времени: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Уровень подписи:  CAdES-XLT1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Доверие:          Сертификат действителен"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Проверено на время штампа: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Сведения об отзыве: список отзыва из подписи"), std::string::npos) << run.out;

    const CliRun json = verify({"--trusted", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"level\":\"XLT1\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"kind\":\"validation-data\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"trust\":{\"verdict\":\"trusted\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"at_time\":"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"revocation_source\":\"crl-values\""), std::string::npos) << json.out;
}

TEST_F(LongTermVerify, WithoutATimestampTheExpiredCertificateIsOutOfDate)
{
    PutChainCrls(chain);
    ASSERT_EQ(sign({}).status, 0);
    const CliRun run = verify();
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Срок действия сертификата истек"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("подтверждено штампом"), std::string::npos) << run.out;
}

TEST_F(CurrentSigner, TimestampAfterTheRevocationIsNotTrustedOneBeforeIs)
{
    tsa.setClockOffset(-kHour / 2);
    ASSERT_EQ(sign({"--tsa", tsa.url()}).status, 0);
    const std::string stampedBefore = ReadFile(signature());
    chain.revokeSigner();
    PutChainCrls(chain);
    const CliRun before = verify();
    EXPECT_EQ(before.status, 0) << "revoked after the proven time\n" << before.out << before.err;
    EXPECT_NE(before.out.find("Уровень подписи:  CAdES-T"), std::string::npos) << before.out;

    tsa.setClockOffset(0);
    ASSERT_EQ(sign({"--tsa", tsa.url()}).status, 0);
    const CliRun after = verify();
    EXPECT_EQ(after.status, 1) << after.out;
    EXPECT_NE(after.out.find("Доверие:          Сертификат отозван"), std::string::npos) << after.out;
}

TEST_F(CurrentSigner, TokenOverOtherBytesFailsTheTrustedCheck)
{
    PutChainCrls(chain);
    ASSERT_EQ(sign({"--tsa", tsa.url()}).status, 0);
    Cms first = Decode(ReadFile(signature()));
    WriteFile(file("contract.txt"), "Another contract\r\n");
    ASSERT_EQ(sign({"--tsa", tsa.url()}).status, 0);
    Cms second = Decode(ReadFile(signature()));
    // The first signature with the second one's token.
    CMS_SignerInfo* signer = FirstSigner(first.get());
    const int at = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1);
    X509_ATTRIBUTE_free(CMS_unsigned_delete_attr(signer, at));
    X509_ATTRIBUTE* other = CMS_unsigned_get_attr(
        FirstSigner(second.get()),
        CMS_unsigned_get_attr_by_NID(FirstSigner(second.get()), NID_id_smime_aa_timeStampToken, -1));
    ASSERT_EQ(CMS_unsigned_add1_attr(signer, other), 1);
    WriteFile(file("contract.txt"), "Contract between the parties\r\n");
    WriteFile(signature(), Encode(first.get()));

    const CliRun run = verify();
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Штамп времени относится к другим данным"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("подтверждено штампом"), std::string::npos) << run.out;
    const CliRun plain = verify({"--json"});
    EXPECT_EQ(plain.status, 0) << "the signature itself holds";
    EXPECT_NE(plain.out.find("\"verdict\":\"imprint-mismatch\""), std::string::npos) << plain.out;
}

TEST_F(CurrentSigner, TokenOfAnAuthorityNotInRootFailsTheTrustedCheck)
{
    PutChainCrls(chain);
    OpenSslChain stranger{store.path("stranger")};
    const PemPair keys =
        stranger.issueService("tsa", "/CN=Stranger TSA/O=Elsewhere", OpenSslChain::ServiceKind::Timestamping);
    TestTsa strangerTsa{keys.certificate, keys.key};
    // Trusted while signing, then no longer.
    ImportFile(stranger.root(), {}, "ROOT");
    ImportFile(stranger.intermediate(), {}, "CA");
    ASSERT_EQ(sign({"--tsa", strangerTsa.url()}).status, 0);
    ASSERT_FALSE(RemoveCertificate(Thumbprint(stranger.root()), "ROOT").empty());

    const CliRun run = verify({"--trusted", "--json"});
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("\"verdict\":\"untrusted-authority\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"authority\":\"CN=Stranger TSA"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"trust\":{\"verdict\":\"trusted\""), std::string::npos)
        << "the certificate itself is trusted now; the timestamp alone fails\n"
        << run.out;
}

} // namespace
} // namespace ordalis::test
