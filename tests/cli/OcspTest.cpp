// Revocation answers from an OCSP responder on loopback in CAdES-X Long Type 1
// signatures: what is asked, what is kept, and answers that must not count.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestOcsp.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestTsa.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ordalis::test {
namespace {

// The signer and the authority answered for by the responder; the intermediate by the root's CRL.
class OcspAnswers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        WriteFile(file("contract.txt"), "Contract between the parties\r\n");
        TrustChainRoot(chain);
        ImportFile(chain.rootCrl(), {}, "CA");
        ImportFile(chain.signer(), {});
        ImportFile(chain.signerKey(), {});
    }

    std::string file(const std::string& name) const { return store.path(name); }

    CliRun signXLong(const std::string& responder)
    {
        return RunCliCaptured({"sign", file("contract.txt"), "--cert", "Test Signer", "--cades", "--tsa", tsa.url(),
                               "--level", "xlt1", "--ocsp", responder});
    }

    ScopedLanguage english{"C"};
    TestStore store;
    OpenSslChain chain{store.path("chain")};
    PemPair tsaKeys = chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping);
    PemPair ocspKeys =
        chain.issueService("ocsp", "/CN=Test OCSP/O=Ordalis Test", OpenSslChain::ServiceKind::OcspSigning);
    TestTsa tsa{tsaKeys.certificate, tsaKeys.key};
    TestOcsp ocsp{chain.intermediate(), ocspKeys.certificate, ocspKeys.key};
};

TEST_F(OcspAnswers, GoodAnswersAreKeptAndSufficeWithoutTheCaStore)
{
    const CliRun run = signXLong(ocsp.url());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GE(ocsp.requestsAnswered(), 2) << "the signer and the authority";

    std::filesystem::remove_all(store.dataHome() + "/ordalis/certstore/CA");
    const CliRun verify =
        RunCliCaptured({"verify", file("contract.txt"), file("contract.txt.sig"), "--trusted", "--json"});
    EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
    EXPECT_NE(verify.out.find("\"trust\":{\"verdict\":\"trusted\""), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("\"revocation_source\":\"ocsp-values\""), std::string::npos) << verify.out;
}

TEST_F(OcspAnswers, RevokedSignerIsNotSealed)
{
    ocsp.setStatus("20", TestOcsp::Status::Revoked); // the chain's signer
    const CliRun run = signXLong(ocsp.url());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Test Signer"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("отозван"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

TEST_F(OcspAnswers, UnknownCertificateWithoutACrlSaysSo)
{
    ocsp.setStatus("20", TestOcsp::Status::Unknown);
    const CliRun run = signXLong(ocsp.url());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("does not know the certificate"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));

    // With the intermediate's CRL at hand, that list answers instead.
    ImportFile(chain.intermediateCrl(), {}, "CA");
    const CliRun withCrl = signXLong(ocsp.url());
    EXPECT_EQ(withCrl.status, 0) << withCrl.err;
}

TEST_F(OcspAnswers, AnswerSignedByAKeyTheIssuerDidNotAuthoriseDoesNotCount)
{
    // The authority's key: issued by the same intermediate, but not for OCSP.
    TestOcsp impostor{chain.intermediate(), tsaKeys.certificate, tsaKeys.key};
    const CliRun run = signXLong(impostor.url());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("failed its check"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

} // namespace
} // namespace ordalis::test
