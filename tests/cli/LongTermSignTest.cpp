// ordalis-cli sign --cades --tsa against a timestamp authority on loopback:
// what it embeds, what openssl makes of it, and every way the authority can fail.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/CmsParts.h"
#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestTsa.h"

#include <openssl/cms.h>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

CMS_SignerInfo* SignerAt(CMS_ContentInfo* cms, int index)
{
    STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms) : nullptr;
    return signers && sk_CMS_SignerInfo_num(signers) > index ? sk_CMS_SignerInfo_value(signers, index) : nullptr;
}

// The DER of the signer's unsigned attribute of type nid; empty when it has none.
std::string UnsignedValue(CMS_SignerInfo* signer, int nid)
{
    const auto* value =
        static_cast<const ASN1_STRING*>(CMS_unsigned_get0_data_by_OBJ(signer, OBJ_nid2obj(nid), -3, V_ASN1_SEQUENCE));
    return value ? std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value))
                 : std::string();
}

std::string SignatureValue(CMS_SignerInfo* signer)
{
    const ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value));
}

class LongTermSign : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        WriteFile(file("contract.txt"), "Contract between the parties\r\n");
        TrustChainRoot(chain);
    }

    std::string file(const std::string& name) const { return store.path(name); }

    // A certificate of the CA for a new key of the algorithm, with its key in MY; returns its serial.
    std::string addSigner(const std::string& algorithm, const std::string& serialHex = "7A01")
    {
        const PemPair issued = ca.issue("Signer" + serialHex, algorithm, "/CN=Signer/O=Ordalis Test", serialHex);
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

    ScopedLanguage english{"C"};
    TestStore store;
    OpenSslCa ca{store.path("")};
    OpenSslChain chain{store.path("chain")};
    PemPair tsaKeys = chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping);
    TestTsa tsa{tsaKeys.certificate, tsaKeys.key};
};

struct KeyAlgorithmCase {
    const char* name;        // as openssl genpkey names it
    const char* imprintHash; // as `openssl ts -text` names the signer's digest
};

void PrintTo(const KeyAlgorithmCase& key, std::ostream* out) { *out << key.name; }

class CadesTForEachKey : public LongTermSign, public ::testing::WithParamInterface<KeyAlgorithmCase> {};

TEST_P(CadesTForEachKey, TokenOverTheSignatureValueIsAcceptedByOpenSsl)
{
    const std::string serial = addSigner(GetParam().name);
    const CliRun run = RunCliCaptured({"sign", file("contract.txt"), "--cert", serial, "--cades", "--tsa", tsa.url()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tsa.requestsAnswered(), 1);
    openssl("cms -verify -cades -binary -purpose any -CAfile ca.pem -inform DER -in contract.txt.sig "
            "-content contract.txt -out verified.out");

    Cms cms = Decode(ReadFile(file("contract.txt.sig")));
    CMS_SignerInfo* signer = SignerAt(cms.get(), 0);
    ASSERT_NE(signer, nullptr);
    const std::string token = UnsignedValue(signer, NID_id_smime_aa_timeStampToken);
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(CMS_unsigned_get_attr_count(signer), 1);
    WriteFile(file("token.der"), token);
    WriteFile(file("signature-value.bin"), SignatureValue(signer));
    std::string verified;
    EXPECT_EQ(RunOpenSslEngineConfigured(store.path(""),
                                         "ts -verify -token_in -in token.der -data signature-value.bin -CAfile '" +
                                             chain.root() + "' -untrusted '" + chain.intermediate() + "'",
                                         &verified),
              0);
    EXPECT_NE(verified.find("Verification: OK"), std::string::npos) << verified;
    // The imprint is the signer's own digest.
    std::string printed;
    RunOpenSslEngineConfigured(store.path(""), "ts -reply -token_in -in token.der -token_out -text", &printed);
    EXPECT_NE(printed.find(std::string("Hash Algorithm: ") + GetParam().imprintHash), std::string::npos) << printed;
}

INSTANTIATE_TEST_SUITE_P(Keys, CadesTForEachKey,
                         ::testing::Values(KeyAlgorithmCase{"gost2001", "GOST R 34.11-94"},
                                           KeyAlgorithmCase{"gost2012_256", "GOST R 34.11-2012 with 256 bit hash"},
                                           KeyAlgorithmCase{"gost2012_512", "GOST R 34.11-2012 with 512 bit hash"}));

struct FailingAuthority {
    const char* name;
    TestTsa::Mode mode;
    const char* words; // in the message
};

void PrintTo(const FailingAuthority& failing, std::ostream* out) { *out << failing.name; }

class FailingTsa : public LongTermSign, public ::testing::WithParamInterface<FailingAuthority> {};

TEST_P(FailingTsa, SaysWhyAndWritesNothing)
{
    const std::string serial = addSigner("gost2012_256");
    tsa.setMode(GetParam().mode);
    const CliRun run = RunCliCaptured(
        {"sign", file("contract.txt"), "--cert", serial, "--cades", "--tsa", tsa.url(), "--timeout", "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(tsa.url()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(GetParam().words), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FailingTsa,
    ::testing::Values(FailingAuthority{"Rejection", TestTsa::Mode::Reject, "refused the request: status 2"},
                      FailingAuthority{"ImprintOfOtherBytes", TestTsa::Mode::WrongImprint, "message imprint mismatch"},
                      FailingAuthority{"OtherNonce", TestTsa::Mode::WrongNonce, "nonce mismatch"},
                      FailingAuthority{"NoAnswerInTime", TestTsa::Mode::Silent, "did not answer"}));

TEST_F(LongTermSign, AuthorityThatIsDownOrNotAnHttpUrlWritesNothing)
{
    const std::string serial = addSigner("gost2012_256");
    const std::string down = UnusedLoopbackUrl("/tsa");
    // OpenSSL's client tries to connect again until its time is up.
    const CliRun run =
        RunCliCaptured({"sign", file("contract.txt"), "--cert", serial, "--cades", "--tsa", down, "--timeout", "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("The service at " + down + " did not answer"), std::string::npos) << run.err;
    const CliRun https =
        RunCliCaptured({"sign", file("contract.txt"), "--cert", serial, "--cades", "--tsa", "https://127.0.0.1:1/"});
    EXPECT_EQ(https.status, 2);
    EXPECT_NE(https.err.find("https:// is not supported"), std::string::npos) << https.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

TEST_F(LongTermSign, AuthorityWhoseRootIsNotTrustedIsRefused)
{
    const std::string serial = addSigner("gost2012_256");
    OpenSslChain stranger{store.path("stranger")};
    const PemPair keys =
        stranger.issueService("tsa", "/CN=Stranger TSA/O=Elsewhere", OpenSslChain::ServiceKind::Timestamping);
    TestTsa untrusted{keys.certificate, keys.key};
    const CliRun run =
        RunCliCaptured({"sign", file("contract.txt"), "--cert", serial, "--cades", "--tsa", untrusted.url()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("failed its check"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("unable to get local issuer certificate"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

// The signer's token, found by its certificate's serial number (DER sorts the signers).
std::string TokenOfSerial(CMS_ContentInfo* cms, long serial)
{
    for (int i = 0; CMS_SignerInfo* signer = SignerAt(cms, i); ++i) {
        ASN1_INTEGER* number = nullptr;
        CMS_SignerInfo_get0_signer_id(signer, nullptr, nullptr, &number);
        if (number && ASN1_INTEGER_get(number) == serial)
            return UnsignedValue(signer, NID_id_smime_aa_timeStampToken);
    }
    return "no such signer";
}

TEST_F(LongTermSign, CosigningStampsTheAddedSignerAndKeepsTheOthersUnsignedAttributes)
{
    const std::string first = addSigner("gost2012_256", "7B01");
    const std::string second = addSigner("gost2012_512", "7B02");
    const std::string third = addSigner("gost2001", "7B03");
    ASSERT_EQ(RunCliCaptured({"sign", file("contract.txt"), "--cert", first, "--cades", "--tsa", tsa.url()}).status, 0);
    const std::string firstToken = TokenOfSerial(Decode(ReadFile(file("contract.txt.sig"))).get(), 0x7B01);
    ASSERT_FALSE(firstToken.empty());
    ASSERT_EQ(RunCliCaptured(
                  {"sign", file("contract.txt"), "--cert", second, "--cosign", file("contract.txt.sig"), "--cades"})
                  .status,
              0);
    const CliRun run = RunCliCaptured({"sign", file("contract.txt"), "--cert", third, "--cosign",
                                       file("contract.txt.sig"), "--cades", "--tsa", tsa.url()});
    ASSERT_EQ(run.status, 0) << run.err;
    Cms cms = Decode(ReadFile(file("contract.txt.sig")));
    EXPECT_EQ(TokenOfSerial(cms.get(), 0x7B01), firstToken);
    EXPECT_EQ(TokenOfSerial(cms.get(), 0x7B02), "") << "a signer added without --tsa stays as it was";
    EXPECT_FALSE(TokenOfSerial(cms.get(), 0x7B03).empty());
    EXPECT_NE(TokenOfSerial(cms.get(), 0x7B03), firstToken);
    openssl("cms -verify -binary -noverify -inform DER -in contract.txt.sig -content contract.txt -out v.out");
}

TEST_F(LongTermSign, OptionsThatNeedTheAuthorityOrCadesAreRefused)
{
    const std::string serial = addSigner("gost2012_256");
    struct Case {
        std::vector<std::string> extra;
        const char* words;
    } cases[] = {
        {{"--tsa", "http://127.0.0.1:1/"}, "--tsa stamps a CAdES signature: add --cades"},
        {{"--cades", "--level", "xlt1"}, "--level goes with --tsa URL"},
        {{"--cades", "--tsa", "http://127.0.0.1:1/", "--level", "x"}, "unknown --level \"x\""},
        {{"--cades", "--tsa", "http://127.0.0.1:1/", "--timeout", "0"}, "--timeout takes whole seconds"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"sign", file("contract.txt"), "--cert", serial};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.status, 2) << c.words;
        EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    }
    EXPECT_EQ(tsa.requestsAnswered(), 0);
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

} // namespace
} // namespace ordalis::test

namespace ordalis::test {
namespace {

// The signer of the chain, whose path leads to the root in ROOT, with its key in MY.
class XLongSign : public LongTermSign {
protected:
    void SetUp() override
    {
        LongTermSign::SetUp();
        ImportFile(chain.signer(), {});
        ImportFile(chain.signerKey(), {});
    }

    CliRun signXLong(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {
            "sign", file("contract.txt"), "--cert", "Test Signer", "--cades", "--tsa", tsa.url(), "--level", "xlt1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCliCaptured(args);
    }
};

TEST_F(XLongSign, CarriesThePathsCrlsAndASecondTimestampThatOpenSslAccepts)
{
    PutChainCrls(chain);
    const CliRun run = signXLong();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tsa.requestsAnswered(), 2) << "the signature timestamp, then the one over the references";
    WriteFile(file("chain.pem"), ReadFile(chain.intermediate()) + ReadFile(chain.root()));
    openssl("cms -verify -cades -binary -purpose any -CAfile chain.pem -inform DER -in contract.txt.sig "
            "-content contract.txt -out verified.out");

    Cms cms = Decode(ReadFile(file("contract.txt.sig")));
    CMS_SignerInfo* signer = SignerAt(cms.get(), 0);
    ASSERT_NE(signer, nullptr);
    for (const int nid :
         {NID_id_smime_aa_timeStampToken, NID_id_smime_aa_ets_CertificateRefs, NID_id_smime_aa_ets_RevocationRefs,
          NID_id_smime_aa_ets_certValues, NID_id_smime_aa_ets_revocationValues, NID_id_smime_aa_ets_escTimeStamp})
        EXPECT_FALSE(UnsignedValue(signer, nid).empty()) << OBJ_nid2sn(nid);

    // The values: the intermediate, the root and the authority's certificate; the two CRLs.
    WriteFile(file("values.der"), UnsignedValue(signer, NID_id_smime_aa_ets_certValues));
    const std::string certificates = openssl("asn1parse -inform DER -in values.der", false);
    for (const char* subject : {"Test Intermediate", "Test Root", "Test TSA"})
        EXPECT_NE(certificates.find(subject), std::string::npos) << subject << "\n" << certificates;
    EXPECT_EQ(certificates.find("Test Signer"), std::string::npos) << "the signer's own is in the message";
    WriteFile(file("revocation.der"), UnsignedValue(signer, NID_id_smime_aa_ets_revocationValues));
    const std::string crls = openssl("asn1parse -inform DER -in revocation.der", false);
    EXPECT_NE(crls.find("cont [ 0 ]"), std::string::npos) << crls;
    std::size_t crlCount = 0;
    for (std::size_t at = crls.find("X509v3 CRL Number"); at != std::string::npos;
         at = crls.find("X509v3 CRL Number", at + 1))
        ++crlCount;
    EXPECT_EQ(crlCount, 2u) << crls;
}

TEST_F(XLongSign, WithoutACurrentCrlForALinkNothingIsWritten)
{
    ImportFile(chain.rootCrl(), {}, "CA"); // the intermediate's own list is missing
    const CliRun run = signXLong();
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Test Signer"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

TEST_F(XLongSign, ARevokedSignerIsNotSealed)
{
    chain.revokeSigner();
    PutChainCrls(chain);
    const CliRun run = signXLong();
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("отозван"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

} // namespace
} // namespace ordalis::test
