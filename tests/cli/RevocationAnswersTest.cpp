// Revocation answers for CAdES-X Long Type 1 signatures from an OCSP responder
// and a CRL distribution point on loopback: what is asked, what is kept, and
// answers that must not count.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/LoopbackHttp.h"
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

// verify --ocsp: a CAdES-BES signature judged now, the links CA has no CRL for answered by the responder.
class OnlineAnswers : public OcspAnswers {
protected:
    void SetUp() override
    {
        OcspAnswers::SetUp();
        const CliRun run = RunCliCaptured({"sign", file("contract.txt"), "--cert", "Test Signer", "--cades"});
        ASSERT_EQ(run.status, 0) << run.err;
    }

    CliRun verify(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args = {"verify",    file("contract.txt"), file("contract.txt.sig"),
                                         "--trusted", "--revocation",       "required",
                                         "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCliCaptured(args);
    }
};

TEST_F(OnlineAnswers, AGoodAnswerStandsForTheMissingCrl)
{
    const CliRun offline = verify({});
    EXPECT_EQ(offline.status, 1) << offline.out;
    EXPECT_NE(offline.out.find("\"reason_code\":\"revocation-unknown\""), std::string::npos) << offline.out;

    const CliRun online = verify({"--ocsp", ocsp.url()});
    EXPECT_EQ(online.status, 0) << online.out << online.err;
    EXPECT_NE(online.out.find("\"revocation_source\":\"ocsp\""), std::string::npos) << online.out;
    EXPECT_GE(ocsp.requestsAnswered(), 1);
}

TEST_F(OnlineAnswers, ARevokedAnswerMakesTheSignerUntrusted)
{
    ocsp.setStatus("20", TestOcsp::Status::Revoked); // the chain's signer
    const CliRun run = verify({"--ocsp", ocsp.url()});
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("\"reason_code\":\"revoked\""), std::string::npos) << run.out;
}

TEST_F(OnlineAnswers, AnAnswerOfAnUnauthorisedKeyOrNoResponderLeavesItUnknown)
{
    TestOcsp impostor{chain.intermediate(), tsaKeys.certificate, tsaKeys.key};
    for (const std::string& url : {impostor.url(), std::string("http://127.0.0.1:9/ocsp")}) {
        const CliRun run = verify({"--ocsp", url, "--timeout", "1"});
        EXPECT_EQ(run.status, 1) << url << "\n" << run.out;
        EXPECT_NE(run.out.find("\"reason_code\":\"revocation-unknown\""), std::string::npos) << run.out;
    }
    const CliRun alone = RunCliCaptured({"verify", file("contract.txt"), file("contract.txt.sig"), "--timeout", "5"});
    EXPECT_EQ(alone.status, 2) << "a timeout with nobody to wait for";
}

// The signer's certificate names a distribution point served on loopback; CA holds only the root's CRL.
class FetchedCrls : public ::testing::Test {
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

    ChainExtras withDistributionPoint()
    {
        ChainExtras extras;
        extras.signerCrlUrl = point.url("/intermediate.crl");
        return extras;
    }

    void serve(const std::string& pemCrl)
    {
        const std::string der = file("served.der");
        ASSERT_EQ(RunOpenSsl(store.path(""), "crl -in '" + pemCrl + "' -outform DER -out served.der", nullptr, false),
                  0);
        served = ReadFile(der);
    }

    std::size_t crlsInCa() const
    {
        std::size_t count = 0;
        for (const std::string& name : ListFolder(store.dataHome() + "/ordalis/certstore/CA"))
            count += name.size() > 4 && name.substr(name.size() - 4) == ".crl" ? 1 : 0;
        return count;
    }

    CliRun signXLong(bool fetch)
    {
        std::vector<std::string> args = {
            "sign", file("contract.txt"), "--cert", "Test Signer", "--cades", "--tsa", tsa.url(), "--level", "xlt1"};
        if (fetch)
            args.push_back("--fetch-crls");
        return RunCliCaptured(args);
    }

    ScopedLanguage english{"C"};
    TestStore store;
    std::string served;
    LoopbackHttpServer point{[this](const std::string&, const std::string&) {
        return std::optional<LoopbackHttpServer::Answer>({"application/pkix-crl", served});
    }};
    OpenSslChain chain{store.path("chain"), {}, withDistributionPoint()};
    PemPair tsaKeys = chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping);
    TestTsa tsa{tsaKeys.certificate, tsaKeys.key};
};

TEST_F(FetchedCrls, AListTheIssuerSignedIsFetchedUsedAndKept)
{
    serve(chain.intermediateCrl());
    EXPECT_EQ(signXLong(false).status, 2) << "without --fetch-crls the link has no list";
    const CliRun run = signXLong(true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(crlsInCa(), 2u) << "the root's, and the intermediate's fetched";
}

TEST_F(FetchedCrls, AListSignedByAnotherKeyIsNeitherUsedNorKept)
{
    serve(chain.rootCrl("other.crl")); // signed by the root, not by the signer's issuer
    const CliRun run = signXLong(true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Test Signer"), std::string::npos) << run.err;
    EXPECT_EQ(crlsInCa(), 1u);
    EXPECT_FALSE(FileExists(file("contract.txt.sig")));
}

} // namespace
} // namespace ordalis::test
