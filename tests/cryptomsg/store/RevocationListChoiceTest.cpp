// Which CRL decides a link's revocation when CA holds several lists under the
// issuer's name: only lists the issuer's own key signed count, the latest of
// them wins, and an out-of-date list never hides a current one.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/CertificateTrust.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <filesystem>

namespace ordalis::test {
namespace {

class RevocationListChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        chain.emplace(store.path(""));
        TrustChainRoot(*chain);
        ImportFile(chain->rootCrl(), {}, "CA");
    }

    // A file put straight into the CA folder, as an older version's import or a copy by hand would.
    void plant(const std::string& crl, const std::string& name)
    {
        std::filesystem::copy_file(crl, StoreFolderPath("CA") + "/" + name);
    }

    TrustOutcome checkSigner()
    {
        const std::string pem = ReadFile(chain->signer());
        BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
        X509Ptr signer(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        EXPECT_TRUE(signer);
        return CheckSigningTrust(signer.get());
    }

    TestStore store;
    std::optional<OpenSslChain> chain;
};

TEST_F(RevocationListChoice, ANewerListOfAForgedKeyUnderTheIssuersNameDoesNotHideARevocation)
{
    chain->revokeSigner();
    ImportFile(chain->intermediateCrlIssuedAgo("real.crl", 300), {}, "CA");
    plant(chain->forgedIntermediateCrl("forged.crl", 60), "forged.crl");
    const TrustOutcome outcome = checkSigner();
    EXPECT_EQ(outcome.verdict, TrustVerdict::Revoked) << TrustSentence(outcome);
    EXPECT_EQ(outcome.link, 0);
}

TEST_F(RevocationListChoice, AForgedListAloneLeavesRevocationUnknown)
{
    plant(chain->forgedIntermediateCrl("forged.crl", 60), "forged.crl");
    EXPECT_EQ(checkSigner().verdict, TrustVerdict::RevocationUnknown);
}

TEST_F(RevocationListChoice, TheListOfTheIssuersNewKeyDoesNotHideTheOldKeysRevocation)
{
    chain->revokeSigner();
    ImportFile(chain->intermediateCrlIssuedAgo("real.crl", 300), {}, "CA");
    ImportFile(chain->rekeyIntermediate(), {}, "CA");
    ImportFile(chain->rekeyedIntermediateCrl("rekeyed.crl", 60), {}, "CA");
    const TrustOutcome outcome = checkSigner();
    EXPECT_EQ(outcome.verdict, TrustVerdict::Revoked) << TrustSentence(outcome);
}

TEST_F(RevocationListChoice, TheLatestListOfTheIssuerCounts)
{
    ImportFile(chain->intermediateCrlIssuedAgo("older.crl", 300), {}, "CA");
    chain->revokeSigner();
    ImportFile(chain->intermediateCrlIssuedAgo("newer.crl", 60), {}, "CA");
    EXPECT_EQ(checkSigner().verdict, TrustVerdict::Revoked);
}

TEST_F(RevocationListChoice, AnExpiredListIssuedLaterDoesNotDisplaceACurrentOne)
{
    // Made before the revocation, so it lists nothing; dated later than the current list.
    plant(chain->intermediateCrlIssuedAgo("expired.crl", 120, 60), "expired.crl");
    chain->revokeSigner();
    ImportFile(chain->intermediateCrlIssuedAgo("current.crl", 300), {}, "CA");
    EXPECT_EQ(checkSigner().verdict, TrustVerdict::Revoked);
}

TEST_F(RevocationListChoice, AnExpiredListAloneStillTellsItsRevocationsButNotThatOthersStand)
{
    chain->revokeSigner();
    plant(chain->intermediateCrlIssuedAgo("expired-revoking.crl", 120, 60), "expired-revoking.crl");
    EXPECT_EQ(checkSigner().verdict, TrustVerdict::Revoked);
}

} // namespace
} // namespace ordalis::test
