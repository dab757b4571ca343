// ordalis-cli verify on signatures made by the openssl tool with a CA → intermediate
// → signer chain: the reason codes, the trust outcome, and the forms people receive.

#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sstream>

namespace ordalis::test {
namespace {

class VerifyDetails : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(file("report.txt"), "Quarterly report\n"); }

    CliRun cli(std::vector<std::string> args) { return RunCliCaptured(args); }

    QJsonObject json(std::vector<std::string> args, int expectedStatus)
    {
        args.push_back("--json");
        const CliRun run = cli(args);
        EXPECT_EQ(run.status, expectedStatus) << run.out << run.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    }

    std::string file(const std::string& name) const { return store.path(name); }

    // A signature of report.txt by the chain's signer, made by `openssl cms -sign`.
    std::string opensslSign(const std::string& name, const std::string& options = "")
    {
        std::string printed;
        EXPECT_EQ(RunOpenSsl(store.path(""),
                             "cms -sign -binary -md md_gost12_256 -in report.txt -signer '" + chain.signer() +
                                 "' -inkey '" + chain.signerKey() + "' -certfile '" + chain.intermediate() +
                                 "' -outform DER -out '" + name + "' " + options,
                             &printed),
                  0)
            << printed;
        return file(name);
    }

    void trustRoot() { ImportFile(chain.root(), {}, "ROOT"); }

    TestStore store;
    OpenSslChain chain{store.path("")};
};

std::string Code(const QJsonObject& result) { return result["reason_code"].toString().toStdString(); }
std::string TrustVerdict(const QJsonObject& result)
{
    return result["trust"].toObject()["verdict"].toString().toStdString();
}

// Replaces every occurrence of from by to (same length) in the file.
void Patch(const std::string& path, const std::string& from, const std::string& to)
{
    std::string bytes = ReadFile(path);
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1))
        bytes.replace(at, to.size(), to);
    WriteFile(path, bytes);
}

TEST_F(VerifyDetails, EachReasonCodeFromARealFile)
{
    WriteFile(file("junk.sig"), "not a signature at all");
    QJsonObject result = json({"verify", file("report.txt"), file("junk.sig")}, 2);
    EXPECT_EQ(Code(result), "not-a-signature");
    EXPECT_EQ(result["status"].toString(), "failed");
    EXPECT_EQ(cli({"verify", file("report.txt"), file("missing.sig")}).status, 2) << "an unreadable signature";

    result = json({"verify", file("report.txt"), opensslSign("bare.sig", "-nocerts")}, 1);
    EXPECT_EQ(Code(result), "no-signer-certificate");
    EXPECT_EQ(result["signers"].toArray()[0].toObject()["issuer"].toString(), "CN=Test Intermediate, O=Ordalis Test");

    const std::string withAttributes = opensslSign("report.txt.sig");
    result = json({"verify", file("report.txt"), withAttributes}, 0);
    const QJsonObject signer = result["signers"].toArray()[0].toObject();
    EXPECT_EQ(signer["verdict"].toString(), "valid");
    EXPECT_EQ(signer["subject"].toString(), "CN=Test Signer, O=Ordalis Test");
    EXPECT_EQ(signer["serial"].toString(), "20");
    EXPECT_EQ(signer["signed_attributes"].toObject()["content_type"].toString(), "pkcs7-data");
    EXPECT_TRUE(signer["signed_attributes"].toObject()["message_digest_matched"].toBool());
    EXPECT_FALSE(signer["signed_attributes"].toObject()["signing_time"].toString().isEmpty());
    EXPECT_FALSE(signer["signed_attributes"].toObject().contains("signing_certificate_matched"));

    const QJsonObject cades = json({"verify", file("report.txt"), opensslSign("cades.sig", "-cades")}, 0);
    EXPECT_TRUE(cades["signers"]
                    .toArray()[0]
                    .toObject()["signed_attributes"]
                    .toObject()["signing_certificate_matched"]
                    .toBool())
        << "the ESS signing-certificate-v2 reference names the signer's certificate";

    WriteFile(file("changed.txt"), "Quarterly report, changed\n");
    result = json({"verify", file("changed.txt"), withAttributes}, 1);
    EXPECT_EQ(Code(result), "content-changed");
    EXPECT_FALSE(
        result["signers"].toArray()[0].toObject()["signed_attributes"].toObject()["message_digest_matched"].toBool());

    const std::string wrongValue = opensslSign("wrong-value.sig");
    std::string bytes = ReadFile(wrongValue);
    bytes[bytes.size() - 3] = static_cast<char>(bytes[bytes.size() - 3] ^ 0x01); // the signature value ends the file
    WriteFile(wrongValue, bytes);
    EXPECT_EQ(Code(json({"verify", file("report.txt"), wrongValue}, 1)), "signature-value-wrong");

    // The Streebog-256 digest's OID 1.2.643.7.1.1.2.2 turned into an unknown 1.2.643.7.1.1.2.127.
    const std::string unknownDigest = opensslSign("unknown-digest.sig");
    Patch(unknownDigest, std::string("\x2a\x85\x03\x07\x01\x01\x02\x02", 8),
          std::string("\x2a\x85\x03\x07\x01\x01\x02\x7f", 8));
    EXPECT_EQ(Code(json({"verify", file("report.txt"), unknownDigest}, 1)), "unsupported-algorithm");
}

TEST_F(VerifyDetails, TrustedOnlyWithTheRootInRootAndNotRevoked)
{
    const std::string signature = opensslSign("report.txt.sig");
    EXPECT_EQ(cli({"verify", file("report.txt"), signature}).status, 0) << "without --trusted the maths decide";
    QJsonObject result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    EXPECT_EQ(TrustVerdict(result), "no-trusted-root");

    trustRoot();
    result = json({"verify", file("report.txt"), signature, "--trusted"}, 0);
    EXPECT_EQ(TrustVerdict(result), "revocation-unknown") << "reported, and no reason to refuse by itself";
    ImportFile(chain.rootCrl(), {}, "CA");
    ImportFile(chain.intermediateCrl(), {}, "CA");
    result = json({"verify", file("report.txt"), signature, "--trusted"}, 0);
    EXPECT_EQ(TrustVerdict(result), "trusted");
    EXPECT_EQ(result["trust"].toObject()["path"].toArray().size(), 3);

    chain.revokeSigner();
    ImportFile(chain.intermediateCrl("intermediate-2.crl"), {}, "CA");
    result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    EXPECT_EQ(TrustVerdict(result), "revoked");
    EXPECT_EQ(cli({"verify", file("report.txt"), signature}).status, 0);
}

TEST_F(VerifyDetails, DetailsFollowTheWindowsReport)
{
    trustRoot();
    const CliRun run = cli({"verify", file("report.txt"), opensslSign("report.txt.sig"), "--details"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string report = "Проверка отсоединенной подписи.....\nV - Подпись математически верна...\n";
    EXPECT_EQ(run.out.substr(0, report.size()), report);
    const std::size_t details = run.out.find("Подписавших: 1\n");
    ASSERT_NE(details, std::string::npos) << run.out;
    EXPECT_GT(details, run.out.find("КОНТЕКСТ ЦЕНТРА СЕРТИФИКАЦИИ")) << "after the report";
    EXPECT_NE(run.out.find("Подписавший 1: CN=Test Signer, O=Ordalis Test"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("   Доверие:          Цепочка ведет к доверенному"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("   Путь сертификации:\n      CN=Test Root, O=Ordalis Test\n      CN=Test Intermediate"),
              std::string::npos)
        << run.out;
}

TEST_F(VerifyDetails, TheFilesPeopleReceive)
{
    // PEM armour.
    const std::string pem = opensslSign("report.txt.p7s", "-outform PEM");
    ASSERT_EQ(ReadFile(pem).rfind("-----BEGIN CMS-----", 0), 0u);
    EXPECT_EQ(cli({"verify", file("report.txt"), pem}).status, 0);

    // No certificate in the signature: from --signer-cert, or from a store.
    const std::string bare = opensslSign("bare.sgn", "-nocerts");
    EXPECT_EQ(cli({"verify", file("report.txt"), bare}).status, 1);
    EXPECT_EQ(cli({"verify", file("report.txt"), bare, "--signer-cert", chain.signer()}).status, 0);
    ImportFile(chain.signer(), {}, "AddressBook");
    EXPECT_EQ(cli({"verify", file("report.txt"), bare}).status, 0);

    // An attached signature alone, its content written out.
    const std::string attached = opensslSign("report.txt.p7m", "-nodetach");
    const CliRun run = cli({"verify", attached, "--extract", file("extracted.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(file("extracted.txt")), "Quarterly report\n");
    EXPECT_NE(run.out.find("V - Подпись математически верна..."), std::string::npos);
}

TEST_F(VerifyDetails, PairingKnowsTheUsualExtensions)
{
    WriteFile(file("report.txt.sgn"), ReadFile(opensslSign("made.sig")));
    const CliRun run = cli({"verify", file("report.txt"), "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    const QJsonObject result = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(result["file"].toString().toStdString(), file("report.txt"));
}

} // namespace
} // namespace ordalis::test
