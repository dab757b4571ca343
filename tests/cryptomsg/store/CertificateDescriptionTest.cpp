// Descriptions agree with what the openssl tool says about the same certificates.
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <cctype>

#include <cstdlib>

namespace ordalis::test {
namespace {

// The value after "=" in the output of `openssl x509 -noout <option>` for a DER file.
std::string OpensslField(const TestStore& store, const std::string& derFile, const std::string& option)
{
    const std::string log = store.path("x509.txt");
    const std::string command =
        "openssl x509 -inform DER -in '" + derFile + "' -noout " + option + " >'" + log + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(log);
    std::string text = ReadFile(log);
    text = text.substr(text.find('=') + 1);
    return text.substr(0, text.find('\n'));
}

std::string WithoutColons(std::string text)
{
    std::erase(text, ':');
    return text;
}

class CertificateDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override { store.addStandardSet(); }
    TestStore store;
};

TEST_F(CertificateDescriptionTest, IdentifiersMatchTheOpensslTool)
{
    store.addWithSerial("leading zero byte", "00FF");
    store.addWithSerial("short", "0A");
    for (const char* label : {"gost2001", "gost2012_256", "gost2012_512", "rsa", "leading zero byte", "short"}) {
        SCOPED_TRACE(label);
        const TestCertificate& certificate = store.get(label);
        const CertificateDescription d = DescribeCertificate(store.context(label).get());
        EXPECT_EQ(d.serialHex, OpensslField(store, certificate.derFile, "-serial"));
        EXPECT_EQ(d.sha1Thumbprint, WithoutColons(OpensslField(store, certificate.derFile, "-fingerprint -sha1")));
    }
    EXPECT_EQ(DescribeCertificate(store.context("short").get()).serialHex, "0A");
}

namespace {

// "dd.MM.yyyy HH:mm:ss UTC": a digit wherever the shape has a 9.
bool LooksLikeDate(const std::string& text)
{
    const std::string shape = "99.99.9999 99:99:99 UTC";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return false;
    return true;
}

} // namespace

TEST_F(CertificateDescriptionTest, NamesDatesAndAlgorithmsInWords)
{
    const std::pair<const char*, const char*> algorithms[] = {{"gost2001", "ГОСТ Р 34.10-2001"},
                                                              {"gost2012_256", "ГОСТ Р 34.10-2012 256 бит"},
                                                              {"gost2012_512", "ГОСТ Р 34.10-2012 512 бит"},
                                                              {"rsa", "RSA 2048 бит"}};
    for (const auto& [label, algorithm] : algorithms) {
        SCOPED_TRACE(label);
        const CertificateDescription d = DescribeCertificate(store.context(label).get());
        EXPECT_EQ(d.issuedTo, label);
        EXPECT_EQ(d.issuedBy, label);
        EXPECT_EQ(d.subject, std::string("CN=") + label + ", O=Ordalis Test");
        EXPECT_EQ(d.issuer, d.subject);
        EXPECT_EQ(d.keyAlgorithm, algorithm);
        EXPECT_NE(d.publicKeyAlgorithm.find(algorithm == std::string("RSA 2048 бит") ? "rsaEncryption" : algorithm),
                  std::string::npos)
            << d.publicKeyAlgorithm;
        EXPECT_EQ(d.version, "V3");
        EXPECT_TRUE(LooksLikeDate(d.validFrom)) << d.validFrom;
        EXPECT_TRUE(LooksLikeDate(d.validTo)) << d.validTo;
        EXPECT_TRUE(d.hasPrivateKey);
        bool basicConstraints = false;
        for (const auto& [name, value] : d.extensions)
            if (name.find("Basic Constraints") != std::string::npos) {
                basicConstraints = true;
                EXPECT_NE(name.find("критическое"), std::string::npos);
                EXPECT_NE(value.find("CA:FALSE"), std::string::npos);
            }
        EXPECT_TRUE(basicConstraints);
    }
    const CertificateDescription gost = DescribeCertificate(store.context("gost2012_256").get());
    EXPECT_NE(gost.publicKeyParameters.find("(1.2.643."), std::string::npos) << gost.publicKeyParameters;
    EXPECT_NE(gost.signatureAlgorithm.find("1.2.643.7.1.1.3.2"), std::string::npos) << gost.signatureAlgorithm;
}

TEST_F(CertificateDescriptionTest, CommonNameFallsBackToTheWholeName)
{
    TestCertificateOptions options;
    options.subject = "O=Без имени,C=RU";
    store.add("no common name", KeyAlgorithm::Gost2012_256, options);
    const CertificateDescription d = DescribeCertificate(store.context("no common name").get());
    EXPECT_EQ(d.issuedTo, "O=Без имени, C=RU");
    EXPECT_EQ(d.organisation, "Без имени");
}

TEST_F(CertificateDescriptionTest, OrganisationIsTheSubjectsOrganisationNotItsUnit)
{
    TestCertificateOptions options;
    options.subject = "CN=Иванов Иван,OU=Бухгалтерия,O=Ромашка";
    store.add("ivanov", KeyAlgorithm::Gost2012_256, options);
    options.subject = "CN=Петров";
    store.add("petrov", KeyAlgorithm::Gost2012_256, options);
    EXPECT_EQ(DescribeCertificate(store.context("ivanov").get()).organisation, "Ромашка");
    EXPECT_EQ(DescribeCertificate(store.context("petrov").get()).organisation, "");
}

TEST_F(CertificateDescriptionTest, CertificateOutsideTheStoreHasNoKey)
{
    const std::string der = ReadFile(store.get("gost2001").derFile);
    CertContextPtr loose(CertCreateCertificateContext(kEncodingType, reinterpret_cast<const BYTE*>(der.data()),
                                                      static_cast<DWORD>(der.size())));
    ASSERT_TRUE(loose);
    const CertificateDescription d = DescribeCertificate(loose.get());
    EXPECT_FALSE(d.hasPrivateKey);
    EXPECT_EQ(d.sha1Thumbprint, store.get("gost2001").thumbprint);
    EXPECT_EQ(DescribeCertificate(nullptr).subject, "");
}

} // namespace
} // namespace ordalis::test
