// ordalis-cli sign --cades and --cosign with certificates issued by a small CA
// (issuer and subject differ), checked with the openssl command line.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/CmsParts.h"
#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"

#include <openssl/cms.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <memory>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

struct Algorithm {
    const char* name;       // as openssl genpkey and ordalis-store name it
    const char* digestFlag; // `openssl dgst` option of its digest
};

const Algorithm kAlgorithms[] = {
    {"gost2001", "-md_gost94"}, {"gost2012_256", "-md_gost12_256"}, {"gost2012_512", "-md_gost12_512"}};

void PrintTo(const Algorithm& algorithm, std::ostream* out) { *out << algorithm.name; }

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::size_t Count(const std::string& text, const std::string& word)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// The signing-time attribute in seconds since the epoch; -1 when absent.
long long SigningTime(CMS_SignerInfo* signer)
{
    const auto* time = static_cast<const ASN1_TIME*>(
        CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_pkcs9_signingTime), -3, V_ASN1_UTCTIME));
    std::tm tm{};
    return time && ASN1_TIME_to_tm(time, &tm) == 1 ? static_cast<long long>(timegm(&tm)) : -1;
}

// The DER of the ESS signing-certificate-v2 attribute's value; empty when absent.
std::string SigningCertificateV2(CMS_SignerInfo* signer)
{
    const auto* value = static_cast<const ASN1_STRING*>(
        CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_id_smime_aa_signingCertificateV2), -3, V_ASN1_SEQUENCE));
    return value ? std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value))
                 : std::string();
}

class CadesCosign : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine()); // reading the issued GOST keys needs it
        ::mkdir(store.path("").c_str(), 0700);
        WriteFile(file("contract.txt"), "Contract between the parties\r\n");
    }

    CliRun cli(std::vector<std::string> args) { return RunCliCaptured(args); }

    std::string file(const std::string& name) const { return store.path(name); }

    // A certificate issued by the CA for a new key, with its key in MY; returns its serial.
    std::string addIssued(const std::string& name, const std::string& algorithm, const std::string& serialHex)
    {
        const PemPair issued = ca.issue(name, algorithm, "/CN=" + name + "/O=Ordalis Test", serialHex);
        ImportFile(issued.certificate, {});
        ImportFile(issued.key, {});
        return serialHex;
    }

    std::string openssl(const std::string& args, bool withEngine = true)
    {
        std::string printed;
        EXPECT_EQ(RunOpenSsl(store.path(""), args, &printed, withEngine), 0) << args << "\n" << printed;
        return printed;
    }

    // openssl checks every signer's signature (no chain), detached or attached.
    void expectOpenSslVerifies(const std::string& signature, const std::string& inform, bool detached)
    {
        const std::string content = detached ? " -content contract.txt" : "";
        openssl("cms -verify -noverify -binary -inform " + inform + " -in '" + signature + "'" + content +
                " -out verified.out");
        EXPECT_EQ(ReadFile(file("verified.out")), ReadFile(file("contract.txt")));
    }

    std::size_t signerCount(const std::string& signature, const std::string& inform = "DER")
    {
        return Count(openssl("cms -cmsout -print -noout -inform " + inform + " -in '" + signature + "'"),
                     "d.issuerAndSerialNumber:");
    }

    ScopedLanguage english{"C"};
    TestStore store;
    OpenSslCa ca{store.path("")};
};

class CadesForEachKey : public CadesCosign, public ::testing::WithParamInterface<Algorithm> {};

TEST_P(CadesForEachKey, OpenSslAcceptsItDetachedAndAttachedWithTimeAndCertificateReference)
{
    const Algorithm algorithm = GetParam();
    const std::string serial = addIssued("Signer", algorithm.name, "5A01");
    const std::time_t before = std::time(nullptr);
    const CliRun detached = cli({"sign", file("contract.txt"), "--cert", serial, "--cades"});
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(detached.status, 0) << detached.err;

    // -cades makes openssl check the signing-certificate reference against the
    // signer's certificate, which it only does with a verified chain.
    openssl("cms -verify -cades -binary -purpose any -CAfile ca.pem -inform DER -in contract.txt.sig "
            "-content contract.txt -out verified.out");
    const std::string der = ReadFile(file("contract.txt.sig"));
    Cms cms = Decode(der);
    CMS_SignerInfo* signer = FirstSigner(cms.get());
    ASSERT_NE(signer, nullptr);
    EXPECT_GE(SigningTime(signer), static_cast<long long>(before));
    EXPECT_LE(SigningTime(signer), static_cast<long long>(after));
    EXPECT_EQ(CMS_signed_get_attr_count(signer), 4) << "content type, message digest, signing time, ESS v2";

    // The reference's hash is the GOST hash of the certificate's DER, with issuer and serial.
    openssl("x509 -in Signer.pem -outform DER -out Signer.der");
    const std::string printed = openssl("dgst " + std::string(algorithm.digestFlag) + " -r Signer.der");
    const std::size_t end = printed.find(" *Signer.der");
    ASSERT_NE(end, std::string::npos) << printed;
    const std::size_t start = printed.rfind('\n', end);
    const std::string hash = printed.substr(start == std::string::npos ? 0 : start + 1, end - start - 1);
    WriteFile(file("ess.der"), SigningCertificateV2(signer));
    std::string parsed = openssl("asn1parse -inform DER -in ess.der", false);
    for (char& c : parsed)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(hash.size(), std::string(algorithm.name) == "gost2012_512" ? 128u : 64u) << printed;
    EXPECT_NE(parsed.find("[hex dump]:" + hash), std::string::npos) << parsed << hash;
    EXPECT_NE(parsed.find(":5a01"), std::string::npos) << "the serial number";
    EXPECT_NE(parsed.find(":test ca"), std::string::npos) << "the issuer";

    const CliRun attached = cli({"sign", file("contract.txt"), "--cert", serial, "--cades", "--attached", "--base64"});
    ASSERT_EQ(attached.status, 0) << attached.err;
    WriteFile(file("attached.pem"),
              "-----BEGIN CMS-----\n" + ReadFile(file("contract.txt.p7s")) + "\n-----END CMS-----\n");
    openssl("cms -verify -cades -binary -purpose any -CAfile ca.pem -inform PEM -in attached.pem -out verified.out");
    EXPECT_EQ(ReadFile(file("verified.out")), ReadFile(file("contract.txt")));
}

TEST_P(CadesForEachKey, CosignedFileHoldsBothSignersForOpenSslAndForVerify)
{
    const std::string first = addIssued("First", "gost2012_256", "6B01");
    const std::string second = addIssued("Second", GetParam().name, "6B02");
    ASSERT_EQ(cli({"sign", file("contract.txt"), "--cert", first}).status, 0);
    const std::string signature = file("contract.txt.sig");

    const CliRun cosign = cli({"sign", file("contract.txt"), "--cert", second, "--cosign", signature, "--cades"});
    ASSERT_EQ(cosign.status, 0) << cosign.err;
    EXPECT_NE(cosign.out.find("Signer added to " + signature), std::string::npos) << cosign.out;
    expectOpenSslVerifies("contract.txt.sig", "DER", true);
    EXPECT_EQ(signerCount("contract.txt.sig"), 2u);
    openssl("cms -verify -cades -binary -purpose any -CAfile ca.pem -inform DER -in contract.txt.sig "
            "-content contract.txt -out verified.out");

    const CliRun verify = cli({"verify", file("contract.txt"), signature, "--details"});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("Подписавших: 2"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("CN=First"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("CN=Second"), std::string::npos) << verify.out;
}

INSTANTIATE_TEST_SUITE_P(Gost, CadesForEachKey, ::testing::ValuesIn(kAlgorithms),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CadesCosign, CosigningKeepsAttachedContentAndEachEncoding)
{
    const std::string first = addIssued("First", "gost2001", "7C01");
    const std::string second = addIssued("Second", "gost2012_512", "7C02");

    // Attached and Base64 stay so; the content is still the file's.
    ASSERT_EQ(cli({"sign", file("contract.txt"), "--cert", first, "--attached", "--base64"}).status, 0);
    ASSERT_EQ(cli({"sign", file("contract.txt"), "--cert", second, "--cosign", file("contract.txt.p7s")}).status, 0);
    const std::string base64 = ReadFile(file("contract.txt.p7s"));
    EXPECT_EQ(base64.substr(0, 2), "MI");
    WriteFile(file("attached.pem"), "-----BEGIN CMS-----\n" + base64 + "\n-----END CMS-----\n");
    expectOpenSslVerifies("attached.pem", "PEM", false);
    EXPECT_EQ(signerCount("attached.pem", "PEM"), 2u);

    // PEM from another tool stays PEM under its own label, with its signer kept.
    openssl("cms -sign -binary -md md_gost94 -in contract.txt -signer First.pem -inkey First.key "
            "-outform PEM -out other.p7s");
    ASSERT_EQ(cli({"sign", file("contract.txt"), "--cert", second, "--cosign", file("other.p7s")}).status, 0);
    EXPECT_EQ(ReadFile(file("other.p7s")).substr(0, 19), "-----BEGIN CMS-----");
    expectOpenSslVerifies("other.p7s", "PEM", true);
    EXPECT_EQ(signerCount("other.p7s", "PEM"), 2u);
}

// RLIMIT_FSIZE lowered while it lives, so that writing past it fails (EFBIG)
// instead of ending the process with SIGXFSZ; root cannot be kept out of a folder.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_previousHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int);
};

TEST_F(CadesCosign, RefusalsAndFailuresLeaveTheOldSignatureAsItWas)
{
    store.addStandardSet();
    const std::string first = addIssued("First", "gost2012_256", "8D01");
    const std::string second = addIssued("Second", "gost2012_256", "8D02");
    ASSERT_EQ(cli({"sign", file("contract.txt"), "--cert", first}).status, 0);
    const std::string signature = file("contract.txt.sig");
    const std::string original = ReadFile(signature);
    const ino_t inode = InodeOf(signature);
    const auto expectUntouched = [&](const char* what) {
        EXPECT_EQ(ReadFile(signature), original) << what;
        EXPECT_EQ(InodeOf(signature), inode) << what;
    };

    WriteFile(file("contract.txt"), "Contract between the parties, changed\r\n");
    CliRun run = cli({"sign", file("contract.txt"), "--cert", second, "--cosign", signature});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("is not a valid signature of " + file("contract.txt") + " (signer 1:"), std::string::npos)
        << run.err;
    expectUntouched("over a changed file");
    WriteFile(file("contract.txt"), "Contract between the parties\r\n");

    WriteFile(file("wrong.txt"), "not the password\n");
    run = cli({"sign", file("contract.txt"), "--cert", store.get("protected").serialHex, "--cosign", signature,
               "--password-file", file("wrong.txt")});
    EXPECT_EQ(run.status, 2);
    expectUntouched("with a wrong password");

    {
        const FileSizeLimit limit(original.size() + 16);
        run = cli({"sign", file("contract.txt"), "--cert", second, "--cosign", signature});
    }
    EXPECT_EQ(run.status, 2) << run.out;
    expectUntouched("when the new signature cannot be written");

    EXPECT_EQ(cli({"sign", file("contract.txt"), "--cert", second, "--cosign", file("missing.sig")}).status, 2);
    EXPECT_EQ(cli({"sign", file("contract.txt"), "--cert", second, "--cosign", file("contract.txt")}).status, 2)
        << "a file that is no signature";
    expectUntouched("after the refusals");
}

TEST_F(CadesCosign, CosignUsageErrors)
{
    for (const char* fixed : {"--attached", "--base64", "--pack"}) {
        const CliRun run = cli({"sign", file("contract.txt"), "--cosign", file("contract.txt.sig"), fixed});
        EXPECT_EQ(run.status, 2) << fixed;
        EXPECT_NE(run.err.find(std::string(fixed) + " does not go with --cosign"), std::string::npos) << run.err;
    }
    const CliRun two = cli({"sign", file("contract.txt"), file("contract.txt"), "--cosign", file("contract.txt.sig")});
    EXPECT_EQ(two.status, 2);
    EXPECT_NE(two.err.find("give one file"), std::string::npos) << two.err;
}

} // namespace
} // namespace ordalis::test
