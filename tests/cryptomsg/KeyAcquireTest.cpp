#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/CertContextInternal.h"
#include "cryptomsg/CertificateDescription.h"
#include "cryptomsg/CryptoApi.h"
#include "cryptomsg/KeyPasswordPrompt.h"
#include "cryptomsg/KeyProviderInternal.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <openssl/x509.h>

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

struct Acquired {
    bool ok = false;
    std::uint32_t error = 0;
    ProviderPtr provider;
};

Acquired Acquire(PCCERT_CONTEXT certificate)
{
    Acquired result;
    HCRYPTPROV provider = nullptr;
    DWORD keySpec = 0;
    BOOL callerFree = 0;
    SetLastError(0);
    result.ok = CryptAcquireCertificatePrivateKey(certificate, 0, nullptr, &provider, &keySpec, &callerFree) != 0;
    result.error = GetLastError();
    result.provider.reset(provider);
    return result;
}

// Signs a short text with the key and verifies it with the certificate's public key.
bool SignsForCertificate(EVP_PKEY* key, PCCERT_CONTEXT certificate)
{
    int nid = NID_undef;
    if (EVP_PKEY_get_default_digest_nid(key, &nid) <= 0)
        return false;
    const EVP_MD* md = EVP_get_digestbynid(nid);
    const unsigned char text[] = "проверка";
    unsigned char signature[1024];
    std::size_t length = sizeof signature;
    EvpMdCtxPtr sign(EVP_MD_CTX_new());
    if (EVP_DigestSignInit(sign.get(), nullptr, md, nullptr, key) != 1 ||
        EVP_DigestSign(sign.get(), signature, &length, text, sizeof text) != 1)
        return false;
    EvpMdCtxPtr verify(EVP_MD_CTX_new());
    EVP_PKEY* publicKey = X509_get0_pubkey(CertContextX509(certificate));
    return EVP_DigestVerifyInit(verify.get(), nullptr, md, nullptr, publicKey) == 1 &&
           EVP_DigestVerify(verify.get(), signature, length, text, sizeof text) == 1;
}

class KeyAcquire : public ::testing::Test {
protected:
    void SetUp() override { store.addStandardSet(); }
    TestStore store;
};

TEST_F(KeyAcquire, EveryPlainKeyIsFoundAndPairsWithItsCertificate)
{
    for (const char* label : {"gost2001", "gost2012_256", "gost2012_512", "rsa"}) {
        SCOPED_TRACE(label);
        CertContextPtr certificate = store.context(label);
        ASSERT_TRUE(certificate);
        EXPECT_TRUE(CertHasPrivateKey(certificate.get()));
        Acquired acquired = Acquire(certificate.get());
        ASSERT_TRUE(acquired.ok) << std::hex << acquired.error;
        EVP_PKEY* key = ProviderKey(acquired.provider.get());
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(SignsForCertificate(key, certificate.get()));
    }
}

TEST_F(KeyAcquire, ProtectedKeyAsksForItsPasswordOnlyWhenAcquired)
{
    FakeDesktop desktop;
    ScopedPasswordPrompt prompt(desktop);
    CertContextPtr certificate = store.context("protected");
    EXPECT_TRUE(CertHasPrivateKey(certificate.get()));
    EXPECT_TRUE(desktop.calls.empty());

    desktop.passwordAnswers = {std::string(kProtectedKeyPassword)};
    Acquired acquired = Acquire(certificate.get());
    ASSERT_TRUE(acquired.ok) << std::hex << acquired.error;
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"password: protected #1"});
}

} // namespace
} // namespace ordalis::test
