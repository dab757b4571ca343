// ordalis-cli verify against signatures made to deceive it or that merely look
// like another form: a certificate put in the place of the one the signature
// names, a co-signer that does not hold, DER that reads like Base64 or carries
// PEM, and the cases where --extract must write nothing.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <openssl/cms.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace ordalis::test {
namespace {

class Verdict : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(file("report.txt"), "Quarterly report\n"); }

    std::string file(const std::string& name) const { return store.path(name); }

    QJsonObject json(std::vector<std::string> args, int expectedStatus)
    {
        args.push_back("--json");
        const CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.status, expectedStatus) << run.out << run.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    }

    void openssl(const std::string& args)
    {
        std::string printed;
        ASSERT_EQ(RunOpenSsl(store.path(""), args, &printed), 0) << args << "\n" << printed;
    }

    // A signature of report.txt by the chain's signer, made by `openssl cms -sign`.
    std::string opensslSign(const std::string& name, const std::string& options = "")
    {
        openssl("cms -sign -binary -md md_gost12_256 -in report.txt -signer '" + chain.signer() + "' -inkey '" +
                chain.signerKey() + "' -certfile '" + chain.intermediate() + "' -outform DER -out '" + name + "' " +
                options);
        return file(name);
    }

    // The whole chain trusted, with current CRLs of both authorities.
    void trustChain()
    {
        ImportFile(chain.root(), {}, "ROOT");
        ImportFile(chain.intermediate(), {}, "CA");
        ImportFile(chain.rootCrl(), {}, "CA");
        ImportFile(chain.intermediateCrl(), {}, "CA");
    }

    // As the programs do at start: the engine's digests must be known before OpenSSL
    // first lists its algorithms, or co-signing cannot tell one GOST digest from another.
    const bool engine = EnsureGostEngine();
    TestStore store;
    OpenSslChain chain{store.path("")};
};

std::string Code(const QJsonObject& result) { return result["reason_code"].toString().toStdString(); }
QJsonObject Signer(const QJsonObject& result, int index) { return result["signers"].toArray()[index].toObject(); }

// The DER of a SignedData file with one byte of the given signer's signature value changed.
void DamageSigner(const std::string& path, int index)
{
    const std::string der = ReadFile(path);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    ASSERT_TRUE(cms);
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), index);
    ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
    ASSERT_GT(ASN1_STRING_length(value), 0);
    std::string bytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                      static_cast<std::size_t>(ASN1_STRING_length(value)));
    bytes[0] = static_cast<char>(bytes[0] ^ 0x01);
    ASSERT_EQ(ASN1_STRING_set(value, bytes.data(), static_cast<int>(bytes.size())), 1);
    unsigned char* out = nullptr;
    const int length = i2d_CMS_ContentInfo(cms.get(), &out);
    ASSERT_GT(length, 0);
    WriteFile(path, std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(length)));
    OPENSSL_free(out);
}

TEST_F(Verdict, RevokedByTheIssuersListEvenBesideANewerListUnderItsName)
{
    const std::string signature = opensslSign("report.txt.sig");
    ImportFile(chain.root(), {}, "ROOT");
    ImportFile(chain.intermediate(), {}, "CA");
    ImportFile(chain.rootCrl(), {}, "CA");
    chain.revokeSigner();
    ImportFile(chain.intermediateCrlIssuedAgo("revoking.crl", 300), {}, "CA");
    EXPECT_EQ(json({"verify", file("report.txt"), signature, "--trusted"}, 1)["trust"].toObject()["verdict"],
              "revoked");

    // The same authority re-keyed under its name: its new list knows nothing of the old key's certificates.
    ImportFile(chain.rekeyIntermediate(), {}, "CA");
    ImportFile(chain.rekeyedIntermediateCrl("rekeyed.crl", 60), {}, "CA");
    QJsonObject result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    EXPECT_EQ(Code(result), "revoked");

    // Anyone's key calling itself the authority, its list put into CA by hand.
    std::filesystem::copy_file(chain.forgedIntermediateCrl("forged.crl", 30),
                               store.dataHome() + "/ordalis/certstore/CA/forged.crl");
    result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    EXPECT_EQ(Code(result), "revoked");
}

TEST_F(Verdict, RevocationRequiredRefusesALinkWithoutACurrentList)
{
    const std::string signature = opensslSign("report.txt.sig");
    ImportFile(chain.root(), {}, "ROOT");
    EXPECT_EQ(json({"verify", file("report.txt"), signature, "--trusted"}, 0)["trust"].toObject()["verdict"],
              "revocation-unknown");
    const QJsonObject refused =
        json({"verify", file("report.txt"), signature, "--trusted", "--revocation", "required"}, 1);
    EXPECT_EQ(Code(refused), "revocation-unknown");
    EXPECT_EQ(Signer(refused, 0)["verdict"], "invalid");
    EXPECT_EQ(Signer(refused, 0)["signature"], "valid");

    ImportFile(chain.intermediate(), {}, "CA");
    ImportFile(chain.rootCrl(), {}, "CA");
    ImportFile(chain.intermediateCrl(), {}, "CA");
    json({"verify", file("report.txt"), signature, "--trusted", "--revocation", "required"}, 0);

    EXPECT_EQ(RunCliCaptured({"verify", file("report.txt"), signature, "--revocation", "required"}).status, 2)
        << "only --trusted judges revocation";
    EXPECT_EQ(RunCliCaptured({"verify", file("report.txt"), signature, "--trusted", "--revocation", "maybe"}).status,
              2);
}

TEST_F(Verdict, ACertificateInThePlaceOfTheOneTheSignatureNamesIsRefused)
{
    // Same key, issuer and serial number as the signer's certificate; another subject.
    openssl("req -new -key '" + chain.signerKey() + "' -subj '/CN=Impostor/O=Ordalis Test' -out impostor.csr");
    openssl("x509 -req -in impostor.csr -CA '" + chain.intermediate() + "' -CAkey '" + store.path("") +
            "/intermediate/key.pem' -set_serial 0x20 -md_gost12_256 -out impostor.pem");
    const std::string signature =
        opensslSign("substituted.sig", "-cades -nocerts -certfile '" + file("impostor.pem") + "'");
    trustChain();
    const QJsonObject result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    EXPECT_EQ(Code(result), "signing-certificate-mismatch");
    EXPECT_EQ(Signer(result, 0)["subject"], "CN=Impostor, O=Ordalis Test");
    EXPECT_FALSE(Signer(result, 0)["signed_attributes"].toObject()["signing_certificate_matched"].toBool());
    const CliRun run = RunCliCaptured({"verify", file("report.txt"), signature});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("X - Подпись математически не верна"), std::string::npos) << run.out;

    // The genuine certificate in the message verifies as before.
    json({"verify", file("report.txt"), opensslSign("genuine.sig", "-cades"), "--trusted"}, 0);
}

TEST_F(Verdict, ASignedContentTypeOtherThanTheMessagesIsRefused)
{
    const std::string signature = opensslSign("report.txt.sig");
    std::string der = ReadFile(signature);
    // The first id-data is the message's own content type; the signed attribute comes later.
    const std::string data("\x2a\x86\x48\x86\xf7\x0d\x01\x07\x01", 9);
    const std::size_t at = der.find(data);
    ASSERT_NE(at, std::string::npos);
    ASSERT_NE(der.find(data, at + 1), std::string::npos) << "the signed content-type attribute";
    der[at + 8] = '\x06';
    WriteFile(signature, der);
    EXPECT_EQ(Code(json({"verify", file("report.txt"), signature}, 1)), "content-type-mismatch");
}

TEST_F(Verdict, EverySignerMustHold)
{
    store.add("Cosigner", KeyAlgorithm::Gost2012_256);
    for (int damaged : {0, 1}) {
        const std::string signature = opensslSign("report-" + std::to_string(damaged) + ".sig");
        ASSERT_EQ(RunCliCaptured({"sign", file("report.txt"), "--cert", "Cosigner", "--cosign", signature}).status, 0);
        json({"verify", file("report.txt"), signature}, 0);
        DamageSigner(signature, damaged);
        const CliRun run = RunCliCaptured({"verify", file("report.txt"), signature});
        EXPECT_EQ(run.status, 1) << "signer " << damaged << " does not hold\n" << run.out << run.err;
        const QJsonObject result = json({"verify", file("report.txt"), signature}, 1);
        EXPECT_EQ(result["verdict"], "invalid");
        EXPECT_EQ(result["failed_signer"].toInt(), damaged);
        EXPECT_EQ(Signer(result, damaged)["verdict"], "invalid");
        EXPECT_EQ(Signer(result, 1 - damaged)["verdict"], "valid");
        if (damaged == 1) {
            EXPECT_NE(run.err.find(" 2 "), std::string::npos) << "the failing signer is named: " << run.err;
        }
    }
}

TEST_F(Verdict, WithTrustedEverySignerMustBeTrusted)
{
    const std::string signature = opensslSign("report.txt.sig");
    trustChain();
    json({"verify", file("report.txt"), signature, "--trusted"}, 0);
    store.add("Self-made", KeyAlgorithm::Gost2012_512); // its own root, not in ROOT
    ASSERT_EQ(RunCliCaptured({"sign", file("report.txt"), "--cert", "Self-made", "--cosign", signature}).status, 0);
    json({"verify", file("report.txt"), signature}, 0);
    const QJsonObject result = json({"verify", file("report.txt"), signature, "--trusted"}, 1);
    ASSERT_TRUE(result.contains("failed_signer"));
    const QJsonObject failed = Signer(result, result["failed_signer"].toInt());
    EXPECT_EQ(failed["subject"].toString().toStdString().find("CN=Self-made"), 0u)
        << failed["subject"].toString().toStdString();
    EXPECT_EQ(failed["reason_code"], "no-trusted-root");
    EXPECT_EQ(failed["signature"], "valid");
}

TEST_F(Verdict, ADerSignatureIsReadAsDerWhateverItsContentHolds)
{
    store.add("Signer", KeyAlgorithm::Gost2012_256);
    // An attached signature of a PEM certificate: the text "-----BEGIN " is inside.
    std::filesystem::copy_file(chain.root(), file("root.pem"));
    ASSERT_EQ(RunCliCaptured({"sign", file("root.pem"), "--cert", "Signer", "--attached"}).status, 0);
    json({"verify", file("root.pem.sig"), "--extract", file("root-out.pem")}, 0);
    EXPECT_EQ(ReadFile(file("root-out.pem")), ReadFile(chain.root()));

    // Content that is itself a PEM signature: the outer signature is the one verified.
    openssl("cms -sign -binary -md md_gost12_256 -in report.txt -signer '" + chain.signer() + "' -inkey '" +
            chain.signerKey() + "' -outform PEM -out inner.pem");
    ASSERT_EQ(RunCliCaptured({"sign", file("inner.pem"), "--cert", "Signer", "--attached"}).status, 0);
    const QJsonObject outer = json({"verify", file("inner.pem.sig"), "--extract", file("inner-out.pem")}, 0);
    EXPECT_EQ(Signer(outer, 0)["subject"].toString().toStdString().find("CN=Signer"), 0u);
    EXPECT_EQ(ReadFile(file("inner-out.pem")), ReadFile(file("inner.pem")));

    // PEM is PEM only where it begins the file (after white space or a byte-order mark).
    WriteFile(file("bom.p7m"), "\xEF\xBB\xBF\r\n\n" + ReadFile(file("inner.pem")));
    EXPECT_EQ(Signer(json({"verify", file("report.txt"), file("bom.p7m")}, 0), 0)["subject"],
              "CN=Test Signer, O=Ordalis Test");
    WriteFile(file("prefaced.p7m"), "Signed report follows\n" + ReadFile(file("inner.pem")));
    json({"verify", file("report.txt"), file("prefaced.p7m")}, 2); // neither DER, Base64 nor PEM
}

TEST_F(Verdict, ADerSignatureBeginningWithMiIsNotTakenForBase64)
{
    // 30 82 4D 49: a SEQUENCE of 0x4D49 bytes, "MI" in its first line. Sized by signing twice
    // (openssl, as the command line's own attached signatures are BER).
    const std::string content = file("report.txt");
    WriteFile(content, std::string(19000, 'a'));
    const long overhead = static_cast<long>(ReadFile(opensslSign("sized.sig", "-nodetach")).size()) - 19000;
    WriteFile(content, std::string(static_cast<std::size_t>(19789 - overhead), 'a'));
    const std::string der = ReadFile(opensslSign("report.txt.sig", "-nodetach"));
    ASSERT_EQ(der.substr(0, 4), std::string("\x30\x82\x4D\x49", 4));
    json({"verify", content + ".sig"}, 0);
    json({"verify", content, content + ".sig"}, 0);
}

TEST_F(Verdict, ExtractWritesNothingForASignatureThatDoesNotHold)
{
    store.add("Signer", KeyAlgorithm::Gost2012_256);
    ASSERT_EQ(RunCliCaptured({"sign", file("report.txt"), "--cert", "Signer", "--attached"}).status, 0);
    const std::string signature = file("report.txt.sig");
    json({"verify", signature, "--trusted", "--extract", file("untrusted.txt")}, 1);
    EXPECT_FALSE(std::filesystem::exists(file("untrusted.txt"))) << "self-made: not trusted";

    DamageSigner(signature, 0);
    json({"verify", signature, "--extract", file("invalid.txt")}, 1);
    EXPECT_FALSE(std::filesystem::exists(file("invalid.txt"))) << "its signature does not hold";
}

TEST_F(Verdict, ADetachedSignatureAloneIsRefusedNotJudgedOverNothing)
{
    const std::string signature = opensslSign("report.txt.sig");
    std::filesystem::rename(signature, file("alone.sig")); // no report.txt beside it by that name
    const CliRun run = RunCliCaptured({"verify", file("alone.sig")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("не содержит подписанного файла"), std::string::npos) << run.err;
}

TEST_F(Verdict, TwoSignaturesNamedInARowAreTwoAttachedSignatures)
{
    store.add("Signer", KeyAlgorithm::Gost2012_256);
    WriteFile(file("a.txt"), "first");
    WriteFile(file("b.txt"), "second");
    ASSERT_EQ(RunCliCaptured({"sign", file("a.txt"), file("b.txt"), "--cert", "Signer", "--attached"}).status, 0);
    const CliRun run = RunCliCaptured({"verify", file("a.txt.sig"), file("b.txt.sig"), "--json"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::size_t valid = 0;
    for (std::size_t at = run.out.find("\"status\":\"ok\""); at != std::string::npos;
         at = run.out.find("\"status\":\"ok\"", at + 1))
        ++valid;
    EXPECT_EQ(valid, 2u) << run.out;
}

} // namespace
} // namespace ordalis::test
