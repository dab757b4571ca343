// A signer's path to ROOT, checked on a root → intermediate → signer chain made by openssl.

#include "cryptomsg/store/CertificateTrust.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <cstdio>
#include <ctime>

namespace ordalis::test {
namespace {

X509Ptr ReadCertificate(const std::string& file)
{
    const std::string bytes = ReadFile(file);
    BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    X509Ptr certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
        certificate.reset(d2i_X509(nullptr, &p, static_cast<long>(bytes.size())));
    }
    return certificate;
}

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &tm);
    return text;
}

class ChainTrust : public ::testing::Test {
protected:
    // GOST public keys decode only while the engine is loaded, and are decoded as a certificate is read.
    void SetUp() override { ASSERT_TRUE(EnsureGostEngine()); }
    void makeChain(const ChainOptions& options = {}) { chain.emplace(store.path(""), options); }
    void put(const std::string& file, const std::string& storeName) { ImportFile(file, {}, storeName); }
    void trustRoot() { TrustChainRoot(*chain); }
    void putCrls() { PutChainCrls(*chain); }
    TrustOutcome check(const std::string& signerFile, std::vector<X509*> carried = {})
    {
        X509Ptr signer = ReadCertificate(signerFile);
        EXPECT_TRUE(signer) << signerFile;
        return CheckSigningTrust(signer.get(), carried);
    }

    TestStore store;
    std::optional<OpenSslChain> chain;
};

TEST_F(ChainTrust, RootInRootAndCurrentCrlsMakeTheSignerTrusted)
{
    makeChain();
    trustRoot();
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::Trusted) << outcome.reason;
    ASSERT_EQ(outcome.path.size(), 3u);
    EXPECT_EQ(X509_cmp(outcome.path[2].get(), ReadCertificate(chain->root()).get()), 0) << "the path ends at the root";
    EXPECT_STREQ(TrustVerdictCode(outcome.verdict), "trusted");
}

TEST_F(ChainTrust, WithoutTheRootInRootNothingIsTrusted)
{
    makeChain();
    put(chain->intermediate(), "CA");
    put(chain->root(), "CA"); // known, but not trusted
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::NoTrustedRoot);
    EXPECT_FALSE(outcome.reason.empty());

    // A look-alike: the same names, self-made.
    put(chain->root(), "ROOT");
    OpenSslChain lookAlike(store.path("other"));
    EXPECT_EQ(check(lookAlike.signer()).verdict, TrustVerdict::NoTrustedRoot);
}

TEST_F(ChainTrust, TheMessagesOwnCertificatesCompleteThePath)
{
    makeChain();
    put(chain->root(), "ROOT");
    X509Ptr intermediate = ReadCertificate(chain->intermediate());
    EXPECT_EQ(check(chain->signer()).verdict, TrustVerdict::NoTrustedRoot) << "no way to the root without it";
    const TrustOutcome outcome = check(chain->signer(), {intermediate.get()});
    EXPECT_EQ(outcome.verdict, TrustVerdict::RevocationUnknown) << outcome.reason;
    EXPECT_EQ(outcome.path.size(), 3u);
}

TEST_F(ChainTrust, ARevokedSignerIsRevokedWithItsDate)
{
    makeChain();
    trustRoot();
    const std::string before = Today();
    chain->revokeSigner();
    const std::string after = Today(); // the same day unless midnight passed in between
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::Revoked) << outcome.reason;
    EXPECT_EQ(outcome.link, 0);
    const std::string day = outcome.revokedOn.substr(0, 10);
    EXPECT_TRUE(day == before || day == after) << outcome.revokedOn;
    EXPECT_NE(TrustSentence(outcome).find("отозван"), std::string::npos);
}

TEST_F(ChainTrust, ARevokedIntermediateRevokesTheSigner)
{
    makeChain();
    trustRoot();
    chain->revokeIntermediate();
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::Revoked);
    EXPECT_EQ(outcome.link, 1);
    EXPECT_EQ(outcome.linkSubject, "CN=Test Intermediate, O=Ordalis Test");
}

TEST_F(ChainTrust, ALinkWithoutCrlLeavesRevocationUnknown)
{
    makeChain();
    trustRoot();
    TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::RevocationUnknown) << outcome.reason;

    put(chain->rootCrl(), "CA"); // the intermediate is covered, the signer not yet
    outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::RevocationUnknown);
    EXPECT_EQ(outcome.link, 0);
    EXPECT_STREQ(TrustVerdictCode(outcome.verdict), "revocation-unknown");
}

TEST_F(ChainTrust, AnExpiredIntermediateIsNamed)
{
    makeChain({.intermediate = {-30L * 24 * 3600, -24L * 3600}, .signer = {}});
    trustRoot();
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::OutOfDate);
    EXPECT_EQ(outcome.link, 1);
    EXPECT_FALSE(outcome.notYetValid);
    EXPECT_EQ(outcome.linkSubject, "CN=Test Intermediate, O=Ordalis Test");
}

TEST_F(ChainTrust, ASignerNotYetValidIsNamed)
{
    makeChain({.intermediate = {}, .signer = {24L * 3600, 30L * 24 * 3600}});
    trustRoot();
    putCrls();
    const TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::OutOfDate);
    EXPECT_EQ(outcome.link, 0);
    EXPECT_TRUE(outcome.notYetValid);
    EXPECT_NE(TrustSentence(outcome).find("еще не действует"), std::string::npos);
}

TEST_F(ChainTrust, ALinkWhoseSignatureIsDamagedBreaksThePath)
{
    makeChain();
    put(chain->root(), "ROOT");
    putCrls();
    X509Ptr damagedIntermediate =
        ReadCertificate(WithDamagedSignature(store.path(""), chain->intermediate(), "intermediate-damaged.cer"));
    ASSERT_TRUE(damagedIntermediate);
    X509Ptr intermediate = ReadCertificate(chain->intermediate());
    EXPECT_EQ(check(chain->signer(), {intermediate.get()}).verdict, TrustVerdict::Trusted);
    const TrustOutcome outcome = check(chain->signer(), {damagedIntermediate.get()});
    EXPECT_EQ(outcome.verdict, TrustVerdict::NoTrustedRoot);
    EXPECT_EQ(outcome.link, 1);

    const std::string damagedSigner = WithDamagedSignature(store.path(""), chain->signer(), "signer-damaged.cer");
    const TrustOutcome signer = check(damagedSigner, {intermediate.get()});
    EXPECT_EQ(signer.verdict, TrustVerdict::NoTrustedRoot);
    EXPECT_EQ(signer.link, 0);
}

TEST_F(ChainTrust, ASelfSignedCertificatePutIntoRootNeedsNoCrl)
{
    const TestCertificate& own = store.add("own", KeyAlgorithm::Gost2012_256);
    EXPECT_EQ(check(own.certificateFile).verdict, TrustVerdict::NoTrustedRoot);
    put(own.certificateFile, "ROOT");
    const TrustOutcome outcome = check(own.certificateFile);
    EXPECT_EQ(outcome.verdict, TrustVerdict::Trusted) << outcome.reason;
    EXPECT_EQ(outcome.path.size(), 1u);
}

TEST_F(ChainTrust, ACertificateWhoseKeyUsageExcludesSigning)
{
    makeChain();
    put(chain->root(), "ROOT");
    put(chain->rootCrl(), "CA");
    // The root may sign certificates and CRLs only.
    EXPECT_EQ(check(chain->root()).verdict, TrustVerdict::NotForSigning);
    X509Ptr root = ReadCertificate(chain->root());
    const TrustOutcome asAuthority = CheckTrust(root.get(), {}, TrustPurpose::AnyUse);
    EXPECT_EQ(asAuthority.verdict, TrustVerdict::Trusted) << asAuthority.reason;
    ASSERT_EQ(asAuthority.links.size(), 1u);
    EXPECT_EQ(asAuthority.links[0].state, LinkState::Valid);
}

// Each link's own state, beside the path: the verdict names only the first fault.
TEST_F(ChainTrust, EveryLinkTellsItsOwnState)
{
    makeChain({.intermediate = {-30L * 24 * 3600, -24L * 3600}, .signer = {24L * 3600, 30L * 24 * 3600}});
    trustRoot();
    putCrls();
    TrustOutcome outcome = check(chain->signer());
    EXPECT_EQ(outcome.verdict, TrustVerdict::OutOfDate);
    ASSERT_EQ(outcome.links.size(), 3u);
    EXPECT_EQ(outcome.links[0].state, LinkState::NotYetValid);
    EXPECT_EQ(outcome.links[1].state, LinkState::Expired);
    EXPECT_EQ(outcome.links[2].state, LinkState::Valid);
    EXPECT_EQ(LinkSentence(outcome.links[0]), "Этот сертификат еще не действует.");
    EXPECT_EQ(LinkSentence(outcome.links[1]), "Срок действия этого сертификата истек.");
    EXPECT_EQ(LinkSentence(outcome.links[2]), "Этот сертификат действителен.");
}

TEST_F(ChainTrust, ADamagedLinkIsToldInWords)
{
    makeChain();
    put(chain->root(), "ROOT");
    putCrls();
    X509Ptr damaged =
        ReadCertificate(WithDamagedSignature(store.path(""), chain->intermediate(), "intermediate-damaged.cer"));
    const TrustOutcome outcome = check(chain->signer(), {damaged.get()});
    ASSERT_EQ(outcome.links.size(), 3u);
    EXPECT_EQ(outcome.links[0].state, LinkState::Valid);
    EXPECT_EQ(outcome.links[1].state, LinkState::BadSignature);
    EXPECT_EQ(outcome.links[2].state, LinkState::Valid);
    EXPECT_EQ(TrustSentence(outcome),
              "Подпись сертификата повреждена или неверна (CN=Test Intermediate, O=Ordalis Test)");

    // No root at all: the top of what was built has no issuer at hand.
    TestStore empty;
    const TrustOutcome alone = check(chain->signer());
    ASSERT_EQ(alone.links.size(), 1u);
    EXPECT_EQ(alone.links[0].state, LinkState::IssuerMissing);
    EXPECT_EQ(TrustSentence(alone), "Не удалось проверить сертификат до доверенного корневого центра сертификации "
                                    "(CN=Test Signer, O=Ordalis Test)");
}

} // namespace
} // namespace ordalis::test
