#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/KeyProviderInternal.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <openssl/err.h>

#include <cstdlib>
#include <filesystem>

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
        // Nothing left queued for the next OpenSSL call to trip over.
        EXPECT_EQ(ERR_peek_error(), 0u);
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
    EXPECT_TRUE(DescribeCertificate(certificate.get()).hasPrivateKey);
    EXPECT_TRUE(desktop.calls.empty());

    desktop.passwordAnswers = {std::string(kProtectedKeyPassword)};
    Acquired acquired = Acquire(certificate.get());
    ASSERT_TRUE(acquired.ok) << std::hex << acquired.error;
    EXPECT_TRUE(SignsForCertificate(ProviderKey(acquired.provider.get()), certificate.get()));
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"password: protected #1"});

    // The key stays with the context: acquiring it again asks nothing.
    EXPECT_TRUE(Acquire(certificate.get()).ok);
    EXPECT_EQ(desktop.calls.size(), 1u);
}

TEST_F(KeyAcquire, CancelledOrMissingPromptFails)
{
    FakeDesktop desktop;
    {
        ScopedPasswordPrompt prompt(desktop);
        desktop.passwordAnswers = {std::nullopt};
        Acquired acquired = Acquire(store.context("protected").get());
        EXPECT_FALSE(acquired.ok);
        EXPECT_EQ(acquired.error, codes::Cancelled);
        EXPECT_EQ(acquired.provider, nullptr);
    }
    Acquired unattended = Acquire(store.context("protected").get());
    EXPECT_FALSE(unattended.ok);
    EXPECT_EQ(unattended.error, codes::Cancelled);
    EXPECT_EQ(desktop.calls.size(), 1u);
}

TEST_F(KeyAcquire, ThreeWrongPasswordsFail)
{
    FakeDesktop desktop;
    ScopedPasswordPrompt prompt(desktop);
    desktop.passwordAnswers = {std::string("one"), std::string(""), std::string("three"),
                               std::string(kProtectedKeyPassword)};
    Acquired acquired = Acquire(store.context("protected").get());
    EXPECT_FALSE(acquired.ok);
    EXPECT_EQ(acquired.error, codes::InvalidPassword);
    EXPECT_EQ(desktop.calls,
              (std::vector<std::string>{"password: protected #1", "password: protected #2", "password: protected #3"}));
}

TEST_F(KeyAcquire, RightPasswordAfterAWrongOne)
{
    FakeDesktop desktop;
    ScopedPasswordPrompt prompt(desktop);
    desktop.passwordAnswers = {std::string("nope"), std::string(kProtectedKeyPassword)};
    EXPECT_TRUE(Acquire(store.context("protected").get()).ok);
    EXPECT_EQ(desktop.calls.size(), 2u);
}

TEST_F(KeyAcquire, CertificateWithoutKeyInTheStore)
{
    TestCertificateOptions options;
    options.withKey = false;
    store.add("bare", KeyAlgorithm::Gost2012_256, options);
    CertContextPtr bare = store.context("bare");
    EXPECT_FALSE(CertHasPrivateKey(bare.get()));
    Acquired acquired = Acquire(bare.get());
    EXPECT_FALSE(acquired.ok);
    EXPECT_EQ(acquired.error, codes::NoKeyProperty);

    // The same certificate read from a file is not the store's, so it has no key either.
    const std::string der = ReadFile(store.get("gost2012_256").derFile);
    CertContextPtr loose(CertCreateCertificateContext(kEncodingType, reinterpret_cast<const BYTE*>(der.data()),
                                                      static_cast<DWORD>(der.size())));
    EXPECT_FALSE(CertHasPrivateKey(loose.get()));
    EXPECT_EQ(Acquire(loose.get()).error, codes::NoKeyProperty);
    EXPECT_EQ(Acquire(nullptr).error, codes::InvalidArg);
}

// Without the GOST engine a GOST key cannot be used, and saying so must not
// crash. The engine loads once per process, so a child process of this test
// binary runs the check with OPENSSL_ENGINES pointing at an empty folder.
constexpr const char* kEngineMissingChild = "ORDALIS_TEST_ENGINE_MISSING_CHILD";

TEST(EngineMissingChild, GostKeyFailsWithProviderNotFound)
{
    if (!std::getenv(kEngineMissingChild))
        GTEST_SKIP() << "runs as the child process of EngineMissing.GostKeyFailsWithProviderNotFound";
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    int gost = 0, rsa = 0;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store.get(), context)) != nullptr) {
        const CertificateDescription description = DescribeCertificate(context);
        Acquired acquired = Acquire(context);
        if (description.issuedTo == "rsa") {
            ++rsa;
            EXPECT_TRUE(acquired.ok) << "keys of other algorithms still work";
        } else {
            ++gost;
            EXPECT_FALSE(acquired.ok) << description.issuedTo;
            EXPECT_EQ(acquired.error, codes::ProviderNotFound) << description.issuedTo;
        }
    }
    EXPECT_EQ(gost, 3);
    EXPECT_EQ(rsa, 1);
}

TEST(EngineMissing, GostKeyFailsWithProviderNotFound)
{
    TestStore store;
    store.addStandardSet();
    std::filesystem::remove(store.get("protected").certificateFile); // no prompt in the child
    const std::string engines = store.path("no-engines");
    std::filesystem::create_directories(engines);
    const std::string output = store.path("child.txt");
    const std::string command = std::string(kEngineMissingChild) + "=1 OPENSSL_ENGINES='" + engines + "' '" +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=EngineMissingChild.* >'" + output + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string log = ReadFile(output);
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << log;
}

} // namespace
} // namespace ordalis::test
