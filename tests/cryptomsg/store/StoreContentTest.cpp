// How the store pairs the certificates and keys it finds in its folder.
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/SelfSignedCertificate.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

struct Pair {
    KeyAndCertificate made;
    std::string subject;

    std::string certificatePem() const
    {
        BioPtr bio(BIO_new(BIO_s_mem()));
        PEM_write_bio_X509(bio.get(), made.certificate.get());
        return Text(bio.get());
    }
    std::string certificateDer() const
    {
        unsigned char* der = nullptr;
        const int length = i2d_X509(made.certificate.get(), &der);
        std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
        OPENSSL_free(der);
        return bytes;
    }
    std::string keyPem(const std::string& password = {}) const
    {
        BioPtr bio(BIO_new(BIO_s_mem()));
        PEM_write_bio_PKCS8PrivateKey(bio.get(), made.key.get(), password.empty() ? nullptr : EVP_aes_256_cbc(),
                                      password.empty() ? nullptr : password.data(), static_cast<int>(password.size()),
                                      nullptr, nullptr);
        return Text(bio.get());
    }
    // nidCertificates -1 leaves the certificate readable without the password.
    std::string pkcs12(const char* password, int nidCertificates = 0) const
    {
        Pkcs12Ptr bundle(PKCS12_create(password, "test", made.key.get(), made.certificate.get(), nullptr, 0,
                                       nidCertificates, 0, 0, 0));
        EXPECT_TRUE(bundle);
        unsigned char* der = nullptr;
        const int length = i2d_PKCS12(bundle.get(), &der);
        std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
        OPENSSL_free(der);
        return bytes;
    }

    static std::string Text(BIO* bio)
    {
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        return std::string(data, static_cast<std::size_t>(length));
    }
};

Pair Make(const std::string& commonName, KeyAlgorithm algorithm = KeyAlgorithm::Gost2012_256)
{
    CertificateRequest request;
    request.algorithm = algorithm;
    request.subject = "CN=" + commonName;
    return {MakeSelfSignedCertificate(request), request.subject};
}

class StoreContent : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(store.folder()); }

    void put(const std::string& name, const std::string& bytes) { WriteFile(store.folder() + "/" + name, bytes); }

    // The store's entry for a subject: found, and whether it has a key.
    struct Seen {
        bool listed = false;
        bool hasKey = false;
    };
    Seen seen(const std::string& subject) const
    {
        CertStorePtr opened = store.open();
        Seen result;
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(opened.get(), context)) != nullptr)
            if (DescribeCertificate(context).subject == subject) {
                result.listed = true;
                result.hasKey = CertHasPrivateKey(context);
            }
        return result;
    }

    CertContextPtr find(const std::string& subject) const
    {
        CertStorePtr opened = store.open();
        return FindOneCertificate(opened.get(), subject);
    }

    std::uint32_t acquire(PCCERT_CONTEXT certificate)
    {
        HCRYPTPROV provider = nullptr;
        SetLastError(0);
        const bool ok = CryptAcquireCertificatePrivateKey(certificate, 0, nullptr, &provider, nullptr, nullptr);
        ProviderPtr owned(provider);
        return ok ? 0 : GetLastError();
    }

    TestStore store;
    FakeDesktop desktop;
    ScopedPasswordPrompt prompt{desktop};
};

TEST_F(StoreContent, PlainKeyInAnyFileIsPairedByItsPublicKey)
{
    const Pair alice = Make("alice"), bob = Make("bob", KeyAlgorithm::Gost2001);
    put("a-certificates.pem", alice.certificatePem() + bob.certificatePem());
    put("zz-some.key", alice.keyPem());
    EXPECT_TRUE(seen(alice.subject).hasKey);
    EXPECT_FALSE(seen(bob.subject).hasKey);
    EXPECT_EQ(acquire(find("alice").get()), 0u);
    EXPECT_EQ(acquire(find("bob").get()), codes::NoKeyProperty);
    EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(StoreContent, EncryptedKeyIsPairedByItsFileName)
{
    const Pair alice = Make("alice"), bob = Make("bob");
    put("alice.crt", alice.certificatePem());
    put("alice.key", alice.keyPem("secret"));
    put("bob.crt", bob.certificatePem());
    put("bob-key.pem", bob.keyPem("secret"));
    EXPECT_TRUE(seen(alice.subject).hasKey);
    EXPECT_FALSE(seen(bob.subject).hasKey);
    EXPECT_FALSE(ListStore().problems.empty()) << "the stray key is reported";

    desktop.passwordAnswers = {std::string("secret")};
    EXPECT_EQ(acquire(find("alice").get()), 0u);
}

TEST_F(StoreContent, KeyNamedAfterAnotherCertificateIsRefusedOnceOpened)
{
    const Pair carol = Make("carol"), mallory = Make("mallory");
    put("carol.crt", carol.certificatePem());
    put("carol.key", mallory.keyPem("secret"));
    desktop.passwordAnswers = {std::string("secret")};
    EXPECT_EQ(acquire(find("carol").get()), codes::NoKeyProperty);
}

TEST_F(StoreContent, CertificateAndEncryptedKeyInOneFile)
{
    const Pair dave = Make("dave", KeyAlgorithm::Gost2012_512);
    put("dave.pem", dave.certificatePem() + dave.keyPem("pw"));
    EXPECT_TRUE(seen(dave.subject).hasKey);
    desktop.passwordAnswers = {std::string("pw")};
    EXPECT_EQ(acquire(find("dave").get()), 0u);
}

TEST_F(StoreContent, DerCertificateWithPlainKey)
{
    const Pair erin = Make("erin", KeyAlgorithm::Rsa2048);
    put("erin.cer", erin.certificateDer());
    put("erin-private.pem", erin.keyPem());
    EXPECT_TRUE(seen(erin.subject).hasKey);
}

TEST_F(StoreContent, Pkcs12BundlesInTheFolder)
{
    const Pair open = Make("open"), visible = Make("visible"), sealed = Make("sealed");
    put("open.p12", open.pkcs12(nullptr, -1));
    put("visible.p12", visible.pkcs12("pw", -1));
    put("sealed.p12", sealed.pkcs12("pw"));

    EXPECT_TRUE(seen(open.subject).hasKey);
    EXPECT_EQ(acquire(find("open").get()), 0u);
    EXPECT_TRUE(desktop.calls.empty());

    EXPECT_TRUE(seen(visible.subject).hasKey);
    desktop.passwordAnswers = {std::string("wrong"), std::string("pw")};
    EXPECT_EQ(acquire(find("visible").get()), 0u);
    EXPECT_EQ(desktop.calls.size(), 2u);

    // A bundle that hides its certificate cannot be listed without its password.
    EXPECT_FALSE(seen(sealed.subject).listed);
    const StoreListing listing = ListStore();
    ASSERT_EQ(listing.problems.size(), 1u);
    EXPECT_NE(listing.problems[0].find("sealed.p12"), std::string::npos);
}

TEST_F(StoreContent, UnreadableFilesDoNotHideTheOthers)
{
    const Pair frank = Make("frank");
    put("0-garbage.crt", "not a certificate");
    put("1-frank.pem", frank.certificatePem() + frank.keyPem());
    put("2-copy.cer", frank.certificateDer());
    put(".hidden.tmp", "half-written");
    const StoreListing listing = ListStore();
    ASSERT_EQ(listing.certificates.size(), 1u) << "a certificate in two files is listed once";
    EXPECT_TRUE(listing.certificates[0].description.hasPrivateKey);
    ASSERT_EQ(listing.problems.size(), 1u);
    EXPECT_NE(listing.problems[0].find("0-garbage.crt"), std::string::npos);
}

TEST_F(StoreContent, ContextsOutliveTheirClosedStore)
{
    const Pair grace = Make("grace");
    put("grace.pem", grace.certificatePem() + grace.keyPem());
    HCERTSTORE opened = CertOpenSystemStoreA(nullptr, "MY");
    PCCERT_CONTEXT context = CertEnumCertificatesInStore(opened, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(CertCloseStore(opened, CERT_CLOSE_STORE_CHECK_FLAG));
    EXPECT_TRUE(CertHasPrivateKey(context));
    EXPECT_EQ(acquire(context), 0u);
    EXPECT_EQ(CertEnumCertificatesInStore(context->hCertStore, context), nullptr); // frees the last reference
}

TEST_F(StoreContent, EnumerationRefusesAContextOfAnotherStore)
{
    const Pair heidi = Make("heidi");
    put("heidi.crt", heidi.certificatePem());
    CertStorePtr first = store.open(), second = store.open();
    PCCERT_CONTEXT context = CertEnumCertificatesInStore(first.get(), nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CertEnumCertificatesInStore(second.get(), context), nullptr);
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_EQ(CertEnumCertificatesInStore(nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

// Decoders tried while a key opens queue errors; an import that succeeds must not
// leave them for the next failure to report as its reason.
TEST_F(StoreContent, ImportLeavesNoOpenSslErrorQueued)
{
    const Pair plain = Make("Plain identity");
    const Pair bundled = Make("Bundled identity", KeyAlgorithm::Gost2012_512);
    WriteFile(store.path("identity.pem"), plain.certificatePem() + plain.keyPem());
    WriteFile(store.path("bundle.p12"), bundled.pkcs12("secret"));
    const PasswordSource password = [](const std::string&, int) { return std::optional<std::string>("secret"); };
    for (const char* file : {"identity.pem", "bundle.p12"}) {
        ERR_clear_error();
        EXPECT_FALSE(ImportFile(store.path(file), password).empty()) << file;
        EXPECT_EQ(ERR_peek_error(), 0u) << file;
    }
    EXPECT_TRUE(seen("CN=Plain identity").hasKey);
    EXPECT_TRUE(seen("CN=Bundled identity").hasKey);

    // Refused for a reason of our own, after OpenSSL opened the key.
    const Pair keyOnly = Make("Key only");
    Pkcs12Ptr bundle(PKCS12_create("secret", "key", keyOnly.made.key.get(), nullptr, nullptr, 0, 0, 0, 0, 0));
    ASSERT_TRUE(bundle);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(bundle.get(), &der);
    WriteFile(store.path("key-only.p12"), std::string(reinterpret_cast<char*>(der), static_cast<std::size_t>(length)));
    OPENSSL_free(der);
    ERR_clear_error();
    EXPECT_THROW(ImportFile(store.path("key-only.p12"), password), std::exception);
    EXPECT_EQ(ERR_peek_error(), 0u);
}

// The parameters of a PBES2 scheme taken away, leaving GOST 28147-89 named.
void DropGostParameters(X509_ALGOR* pbe)
{
    PBE2PARAM* pbe2 = static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), pbe->parameter));
    ASSERT_TRUE(pbe2);
    X509_ALGOR_set0(pbe2->encryption, OBJ_nid2obj(NID_id_Gost28147_89), V_ASN1_UNDEF, nullptr);
    EXPECT_TRUE(ASN1_TYPE_pack_sequence(ASN1_ITEM_rptr(PBE2PARAM), pbe2, &pbe->parameter));
    PBE2PARAM_free(pbe2);
}

// A certificate and its key encrypted (PKCS#8, PBES2) with GOST 28147-89 without parameters.
std::string KeyWithoutGostParameters(const Pair& pair, const std::string& password)
{
    std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslFree<PKCS8_PRIV_KEY_INFO_free>> info(EVP_PKEY2PKCS8(pair.made.key.get()));
    X509_ALGOR* pbe = PKCS5_pbe2_set_iv(EVP_get_cipherbyname("gost89"), 1, nullptr, 0, nullptr, NID_hmacWithSHA256);
    std::unique_ptr<X509_SIG, OsslFree<X509_SIG_free>> sealed(
        PKCS8_set0_pbe(password.c_str(), static_cast<int>(password.size()), info.get(), pbe));
    EXPECT_TRUE(sealed);
    X509_ALGOR* algorithm = nullptr;
    X509_SIG_getm(sealed.get(), &algorithm, nullptr);
    DropGostParameters(algorithm);
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PKCS8(bio.get(), sealed.get());
    return pair.certificatePem() + Pair::Text(bio.get());
}

// A bundle whose certificates are encrypted with GOST 28147-89 (PBES2) whose
// parameters have been taken away, with a valid MAC over it.
std::string BundleWithoutGostParameters(const Pair& pair, const char* password)
{
    Pkcs12Ptr bundle(PKCS12_create(password, "test", pair.made.key.get(), pair.made.certificate.get(), nullptr, 0,
                                   NID_id_Gost28147_89, 1, 1, 0));
    EXPECT_TRUE(bundle);
    STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(bundle.get());
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        if (OBJ_obj2nid(safe->type) != NID_pkcs7_encrypted)
            continue;
        DropGostParameters(safe->d.encrypted->enc_data->algorithm);
    }
    EXPECT_EQ(PKCS12_pack_authsafes(bundle.get(), safes), 1);
    sk_PKCS7_pop_free(safes, PKCS7_free);
    EXPECT_EQ(PKCS12_set_mac(bundle.get(), password, -1, nullptr, 0, 1, nullptr), 1);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(bundle.get(), &der);
    std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
    OPENSSL_free(der);
    return bytes;
}

// The GOST engine reads the cipher's parameters without checking them.
TEST_F(StoreContent, UnreadableGostParametersAreRefusedNotDecrypted)
{
    const Pair pair = Make("Broken parameters");
    WriteFile(store.path("broken.p12"), BundleWithoutGostParameters(pair, "secret"));
    const PasswordSource password = [](const std::string&, int) { return std::optional<std::string>("secret"); };
    EXPECT_THROW(ImportFile(store.path("broken.p12"), password), std::exception);
    EXPECT_FALSE(seen("CN=Broken parameters").listed);

    // The same bundle lying in the store folder is listed without its key, and its key is not acquired.
    put("broken.p12", BundleWithoutGostParameters(pair, ""));
    CertStorePtr opened = store.open();
    PCCERT_CONTEXT context = CertEnumCertificatesInStore(opened.get(), nullptr);
    if (context) {
        HCRYPTPROV provider = nullptr;
        EXPECT_FALSE(CryptAcquireCertificatePrivateKey(context, 0, nullptr, &provider, nullptr, nullptr));
        CertFreeCertificateContext(context);
    }

    const Pair keyed = Make("Broken key parameters");
    WriteFile(store.path("broken.pem"), KeyWithoutGostParameters(keyed, "secret"));
    EXPECT_THROW(ImportFile(store.path("broken.pem"), password), std::exception);
}

TEST(StoreFolder, MissingStoreIsCreatedPrivateAndEmpty)
{
    TestStore store;
    CertStorePtr opened = store.open();
    ASSERT_TRUE(opened);
    EXPECT_EQ(CertEnumCertificatesInStore(opened.get(), nullptr), nullptr);
    struct stat st {};
    ASSERT_EQ(::stat(store.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(CertOpenSystemStoreA(nullptr, "../escape"), nullptr);
}

} // namespace
} // namespace ordalis::test
