// Verification of signatures made by the openssl command line with signed
// attributes, by signers whose certificates a certification authority issued:
// the report's names, and every kind of forgery a verifier must catch.

#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/FixtureFolder.h"
#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

using namespace ordalis;
using namespace ordalis::test;

namespace {

const std::string kValid = "V - Подпись математически верна...";
const std::string kInvalid = "X - Подпись математически не верна";
const std::string kIssuer = "2.5.4.3=Test CA, 2.5.4.10=Ordalis Test";

// The DER of an attribute's type: the OID 1.2.840.113549.1.9.n.
std::string AttributeOid(char n) { return std::string("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x09", 10) + n; }

struct Signer {
    const char* algorithm;
    const char* serial;
};

// How GoogleTest names a case; without it, it prints the record's bytes.
void PrintTo(const Signer& signer, std::ostream* out) { *out << signer.algorithm; }

const Signer kSigners[] = {{"gost2001", "5A01"}, {"gost2012_256", "5A02"}, {"gost2012_512", "5A03"}};

std::string Subject(const std::string& algorithm) { return "/CN=Signer " + algorithm + "/O=Ordalis Test"; }

// One authority and its three signers, each also with a forged twin: same
// authority, name and serial number, another key. Made once for every test
// process: making GOST keys with openssl costs a process each.
std::string Fixtures()
{
    return FixtureFolder("issued-signers", [](const std::string& folder) {
        const OpenSslCa ca(folder);
        for (const Signer& signer : kSigners) {
            ca.issue(signer.algorithm, signer.algorithm, Subject(signer.algorithm), signer.serial);
            ca.issue(std::string("forged-") + signer.algorithm, signer.algorithm, Subject(signer.algorithm),
                     signer.serial);
        }
    });
}

class IssuedSignatures : public ::testing::TestWithParam<Signer> {
protected:
    void SetUp() override
    {
        fixtures = Fixtures();
        WriteFile(dir.file("content.bin"), "Payment order 17: 1000 roubles to account 40817810.\n");
    }

    std::string name() const { return GetParam().algorithm; }
    std::string fixture(const std::string& file) const { return "'" + fixtures + "/" + file + "'"; }

    // Signs content.bin with signed attributes unless extra says otherwise; returns the DER signature.
    std::string sign(const std::string& extra = {})
    {
        std::string printed;
        EXPECT_EQ(RunOpenSsl(dir.path(),
                             "cms -sign -binary -in content.bin -outform DER -out signed.sig -signer " +
                                 fixture(name() + ".pem") + " -inkey " + fixture(name() + ".key") + extra,
                             &printed),
                  0)
            << printed;
        return ReadFile(dir.file("signed.sig"));
    }

    std::vector<std::string> verify(const std::string& signature, const std::string& content = {})
    {
        WriteFile(dir.file("check.sig"), signature);
        WriteFile(dir.file("check.bin"), content.empty() ? ReadFile(dir.file("content.bin")) : content);
        TestVerifyTab tab;
        tab.file = dir.file("check.bin");
        tab.signature = dir.file("check.sig");
        VerifyOperation(tab, desktop);
        return tab.report;
    }

    std::string fixtures;
    TempDir dir;
    FakeDesktop desktop;
};

const std::vector<std::string> kRefused = {"Проверка отсоединенной подписи.....", kInvalid};

TEST_P(IssuedSignatures, ReportNamesTheSubjectThenTheIssuer)
{
    for (const std::string attributes : {"", " -noattr"}) {
        SCOPED_TRACE(attributes);
        const std::vector<std::string> report = verify(sign(attributes));
        ASSERT_EQ(report.size(), 8u);
        EXPECT_EQ(report[1], kValid);
        EXPECT_EQ(report[2], std::string("Серийный номер сертификата:") + GetParam().serial);
        EXPECT_EQ(report[3], "V Сертификат действующий по дате..");
        EXPECT_EQ(report[4], "КОНТЕКСТ ПОЛЬЗОВАТЕЛЯ");
        EXPECT_EQ(report[5], "2.5.4.3=Signer " + name() + ", 2.5.4.10=Ordalis Test");
        EXPECT_EQ(report[6], "КОНТЕКСТ ЦЕНТРА СЕРТИФИКАЦИИ");
        EXPECT_EQ(report[7], kIssuer);
    }
}

TEST_P(IssuedSignatures, ChangedSignatureValueIsInvalid)
{
    std::string signature = sign();
    // The signer's entry ends the message, and its signature value ends the entry.
    signature.back() = static_cast<char>(signature.back() ^ 0x01);
    EXPECT_EQ(verify(signature), kRefused);
    EXPECT_EQ(desktop.viewedCertificates, 0);
}

TEST_P(IssuedSignatures, ChangedSignedAttributeIsInvalid)
{
    const std::string good = sign();
    ASSERT_EQ(verify(good).at(1), kValid);

    // The first digit of the signing time's year: still a valid time, no longer the signed one.
    std::string laterTime = good;
    const auto time = laterTime.find(AttributeOid('\x05'));
    ASSERT_NE(time, std::string::npos);
    ASSERT_EQ(laterTime.substr(time + 11, 4), std::string("\x31\x0F\x17\x0D", 4)) << "a UTCTime";
    laterTime[time + 15] = static_cast<char>(laterTime[time + 15] ^ 0x01);
    EXPECT_EQ(verify(laterTime), kRefused) << "signing time changed";

    // The first byte of the message digest.
    std::string otherDigest = good;
    const auto digest = otherDigest.find(AttributeOid('\x04'));
    ASSERT_NE(digest, std::string::npos);
    ASSERT_EQ(otherDigest[digest + 13], '\x04') << "an OCTET STRING";
    otherDigest[digest + 15] = static_cast<char>(otherDigest[digest + 15] ^ 0x01);
    EXPECT_EQ(verify(otherDigest), kRefused) << "message digest changed";
}

TEST_P(IssuedSignatures, ChangedContentIsInvalid)
{
    const std::string signature = sign();
    std::string content = ReadFile(dir.file("content.bin"));
    content[20] = '9'; // 1000 roubles become 9000
    EXPECT_EQ(verify(signature, content), kRefused);
    EXPECT_EQ(verify(signature, content + "\n"), kRefused);
}

TEST_P(IssuedSignatures, SignerCertificateReplacedByAnotherKeysIsInvalid)
{
    // The message carries a certificate with the signer's issuer and serial
    // number, so it is taken as the signer's, but its key did not sign.
    const std::string signature = sign(" -nocerts -certfile " + fixture("forged-" + name() + ".pem"));
    EXPECT_EQ(verify(signature), kRefused);
    EXPECT_EQ(desktop.viewedCertificates, 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, IssuedSignatures, ::testing::ValuesIn(kSigners),
                         [](const auto& info) { return std::string(info.param.algorithm); });

TEST(CertificateDates, NotYetValidCertificateIsOutOfDate)
{
    TestStore store;
    TestCertificateOptions future;
    future.notBeforeOffsetSeconds = 2 * 24 * 3600;
    const TestCertificate& later = store.add("later", KeyAlgorithm::Gost2012_256, future);
    TempDir dir;
    WriteFile(dir.file("content.bin"), "content");
    std::string printed;
    ASSERT_EQ(RunOpenSsl(dir.path(),
                         "cms -sign -binary -in content.bin -outform DER -out later.sig -signer '" +
                             later.certificateFile + "' -inkey '" +
                             std::filesystem::path(later.certificateFile).replace_extension(".key").string() + "'",
                         &printed),
              0)
        << printed;
    FakeDesktop desktop;
    TestVerifyTab tab;
    tab.file = dir.file("content.bin");
    tab.signature = dir.file("later.sig");
    VerifyOperation(tab, desktop);
    ASSERT_EQ(tab.report.size(), 8u);
    EXPECT_EQ(tab.report[1], kValid);
    EXPECT_EQ(tab.report[3], "X Сертификат не действующий по дате");
}

} // namespace
