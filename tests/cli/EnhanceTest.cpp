// ordalis-cli enhance: CAdES signatures of other tools and of ours raised to
// CAdES-T and CAdES-X Long Type 1 against a timestamp authority on loopback.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/CmsParts.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestTsa.h"

#include <openssl/cms.h>

#include <gtest/gtest.h>

#include <memory>

namespace ordalis::test {
namespace {

// The encodings of the signer's signed attributes, one after another as the set holds them.
std::string SignedAttributeBytes(CMS_SignerInfo* signer)
{
    std::string bytes;
    for (int i = 0; i < CMS_signed_get_attr_count(signer); ++i) {
        unsigned char* out = nullptr;
        const int length = i2d_X509_ATTRIBUTE(CMS_signed_get_attr(signer, i), &out);
        bytes.append(reinterpret_cast<char*>(out), static_cast<std::size_t>(length));
        OPENSSL_free(out);
    }
    return bytes;
}

int CountOf(CMS_SignerInfo* signer, int nid)
{
    int count = 0;
    for (int at = -1; (at = CMS_unsigned_get_attr_by_NID(signer, nid, at)) >= 0;)
        ++count;
    return count;
}

class Enhance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        WriteFile(file("contract.txt"), "Contract between the parties\r\n");
        TrustChainRoot(chain);
        PutChainCrls(chain);
    }

    std::string file(const std::string& name) const { return store.path(name); }

    std::string openssl(const std::string& args)
    {
        std::string printed;
        EXPECT_EQ(RunOpenSsl(store.path(""), args, &printed), 0) << args << "\n" << printed;
        return printed;
    }

    // A detached CAdES-BES signature of contract.txt by the chain's signer, made by openssl.
    std::string signWithOpenSsl()
    {
        openssl("cms -sign -cades -binary -md md_gost12_256 -signer '" + chain.signer() + "' -inkey '" +
                chain.signerKey() + "' -in contract.txt -outform DER -out contract.txt.sig");
        return file("contract.txt.sig");
    }

    void expectOpenSslVerifies(const std::string& signature)
    {
        WriteFile(file("chain.pem"), ReadFile(chain.intermediate()) + ReadFile(chain.root()));
        openssl("cms -verify -cades -binary -purpose any -CAfile chain.pem -inform DER -in '" + signature +
                "' -content contract.txt -out verified.out");
    }

    ScopedLanguage english{"C"};
    TestStore store;
    OpenSslChain chain{store.path("chain")};
    PemPair tsaKeys = chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping);
    TestTsa tsa{tsaKeys.certificate, tsaKeys.key};
};

TEST_F(Enhance, OpenSslBesBecomesCadesTWithItsSignedAttributesUntouched)
{
    const std::string signature = signWithOpenSsl();
    const std::string before = ReadFile(signature);
    const std::string signedBefore = SignedAttributeBytes(FirstSigner(Decode(before).get()));
    ASSERT_FALSE(signedBefore.empty());

    const CliRun run = RunCliCaptured({"enhance", signature, "--tsa", tsa.url()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(signature + " raised to CAdES-T"), std::string::npos) << run.out;
    const std::string after = ReadFile(signature);
    Cms cms = Decode(after);
    EXPECT_EQ(SignedAttributeBytes(FirstSigner(cms.get())), signedBefore);
    EXPECT_NE(after.find(signedBefore), std::string::npos) << "the same bytes in the file";
    EXPECT_EQ(CountOf(FirstSigner(cms.get()), NID_id_smime_aa_timeStampToken), 1);
    expectOpenSslVerifies(signature);
}

TEST_F(Enhance, CadesTOfOursBecomesXLongKeepingItsTimestamp)
{
    ImportFile(chain.signer(), {});
    ImportFile(chain.signerKey(), {});
    ASSERT_EQ(
        RunCliCaptured({"sign", file("contract.txt"), "--cert", "Test Signer", "--cades", "--tsa", tsa.url()}).status,
        0);
    const std::string signature = file("contract.txt.sig");
    Cms before = Decode(ReadFile(signature));
    const ASN1_STRING* token = static_cast<const ASN1_STRING*>(CMS_unsigned_get0_data_by_OBJ(
        FirstSigner(before.get()), OBJ_nid2obj(NID_id_smime_aa_timeStampToken), -3, V_ASN1_SEQUENCE));
    ASSERT_NE(token, nullptr);
    const std::string tokenBefore(reinterpret_cast<const char*>(ASN1_STRING_get0_data(token)),
                                  static_cast<std::size_t>(ASN1_STRING_length(token)));

    const CliRun run = RunCliCaptured({"enhance", signature, "--tsa", tsa.url(), "--level", "xlt1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string after = ReadFile(signature);
    Cms cms = Decode(after);
    CMS_SignerInfo* signer = FirstSigner(cms.get());
    EXPECT_EQ(CountOf(signer, NID_id_smime_aa_timeStampToken), 1);
    EXPECT_NE(after.find(tokenBefore), std::string::npos);
    EXPECT_EQ(CountOf(signer, NID_id_smime_aa_ets_certValues), 1);
    EXPECT_EQ(CountOf(signer, NID_id_smime_aa_ets_escTimeStamp), 1);
    expectOpenSslVerifies(signature);

    // Raising it again asks for nothing and changes nothing.
    const int asked = tsa.requestsAnswered();
    ASSERT_EQ(RunCliCaptured({"enhance", signature, "--tsa", tsa.url(), "--level", "xlt1"}).status, 0);
    EXPECT_EQ(tsa.requestsAnswered(), asked);
    EXPECT_EQ(ReadFile(signature), after);
}

TEST_F(Enhance, RefusesASignerWhoseSignatureDoesNotHoldOrThatIsNotCades)
{
    const std::string signature = signWithOpenSsl();
    std::string damaged = ReadFile(signature);
    damaged[damaged.size() - 3] = static_cast<char>(damaged[damaged.size() - 3] ^ 0x01); // in the signature value
    WriteFile(signature, damaged);
    const CliRun run = RunCliCaptured({"enhance", signature, "--tsa", tsa.url()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Подпись подписавшего 1 неверна"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(signature), damaged);

    openssl("cms -sign -noattr -binary -md md_gost12_256 -signer '" + chain.signer() + "' -inkey '" +
            chain.signerKey() + "' -in contract.txt -outform DER -out plain.sig");
    const std::string plain = ReadFile(file("plain.sig"));
    const CliRun plainRun = RunCliCaptured({"enhance", file("plain.sig"), "--tsa", tsa.url()});
    EXPECT_EQ(plainRun.status, 2);
    EXPECT_NE(plainRun.err.find("это не подпись CAdES"), std::string::npos) << plainRun.err;
    EXPECT_EQ(ReadFile(file("plain.sig")), plain);
    EXPECT_EQ(tsa.requestsAnswered(), 0);
}

TEST_F(Enhance, WithoutTheAuthorityItIsAUsageError)
{
    const std::string signature = signWithOpenSsl();
    const CliRun run = RunCliCaptured({"enhance", signature});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("enhance needs the timestamp authority: --tsa URL"), std::string::npos) << run.err;
}

} // namespace
} // namespace ordalis::test
