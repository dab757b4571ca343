#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ordalis::test {
namespace {

std::vector<std::string> Found(const TestStore& store, const std::string& id)
{
    CertStorePtr opened = store.open();
    std::vector<std::string> subjects;
    for (const CertContextPtr& match : FindCertificates(opened.get(), id))
        subjects.push_back(DescribeCertificate(match.get()).issuedTo);
    return subjects;
}

using Names = std::vector<std::string>;

TEST(CertificateId, SerialThumbprintOrSubjectPart)
{
    TestStore store;
    store.addWithSerial("first", "01A2");
    store.addWithSerial("second", "7F0001");
    TestCertificateOptions hexLooking;
    hexLooking.subject = "CN=7F0001 lookalike";
    store.add("third", KeyAlgorithm::Gost2012_256, hexLooking);

    EXPECT_EQ(Found(store, "01A2"), Names{"first"});
    EXPECT_EQ(Found(store, "1a2"), Names{"first"}) << "leading zeros and case do not matter";
    EXPECT_EQ(Found(store, "serial=01:A2"), Names{"first"});
    EXPECT_EQ(Found(store, " 7f0001 "), Names{"second"}) << "an exact serial wins over a subject part";
    EXPECT_EQ(Found(store, store.get("third").thumbprint), Names{"7F0001 lookalike"});
    EXPECT_EQ(Found(store, "LOOKALIKE"), Names{"7F0001 lookalike"});
    EXPECT_EQ(Found(store, "ordalis test").size(), 2u);
    EXPECT_TRUE(Found(store, "").empty());
    EXPECT_TRUE(Found(store, "nobody").empty());

    CertStorePtr opened = store.open();
    try {
        FindOneCertificate(opened.get(), "Ordalis");
        ADD_FAILURE() << "an ambiguous ID was accepted";
    } catch (const std::exception& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(store.get("first").serialHex), std::string::npos) << text;
        EXPECT_NE(text.find(store.get("second").serialHex), std::string::npos) << text;
    }
}

TEST(CertificateId, SubjectPartIgnoresCaseInAnyScript)
{
    TestStore store;
    TestCertificateOptions cyrillic;
    cyrillic.subject = "CN=Иванов Ёж Иванович,O=ООО Ромашка";
    store.add("cyrillic", KeyAlgorithm::Gost2012_256, cyrillic);
    TestCertificateOptions greek;
    greek.subject = "CN=Ωμέγα Σοφία";
    store.add("greek", KeyAlgorithm::Gost2012_256, greek);

    EXPECT_EQ(Found(store, "иванов"), Names{"Иванов Ёж Иванович"});
    EXPECT_EQ(Found(store, "ИВАНОВ ЁЖ"), Names{"Иванов Ёж Иванович"});
    EXPECT_EQ(Found(store, "ёж"), Names{"Иванов Ёж Иванович"}) << "Ё lies outside А..я";
    EXPECT_EQ(Found(store, "ооо РОМАШКА"), Names{"Иванов Ёж Иванович"});
    EXPECT_EQ(Found(store, "ΩΜΈΓΑ σοφία"), Names{"Ωμέγα Σοφία"});
    EXPECT_TRUE(Found(store, "Иванова").empty());
}

TEST(StoreFiles, WrittenForTheOwnerOnly)
{
    TestStore store;
    store.addStandardSet();
    const TestCertificate& added = store.add("fresh", KeyAlgorithm::Gost2012_512);
    for (const std::string& name : ListFolder(store.folder())) {
        struct stat st {};
        ASSERT_EQ(::stat((store.folder() + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
    EXPECT_NE(added.certificateFile.find(added.thumbprint), std::string::npos);
}

TEST(StoreFixture, ExpiredAndChosenSerial)
{
    TestStore store;
    store.addExpired("old");
    store.addWithSerial("numbered", "1234ABCD");
    EXPECT_EQ(CertVerifyTimeValidity(nullptr, store.context("old")->pCertInfo), 1);
    EXPECT_EQ(CertVerifyTimeValidity(nullptr, store.context("numbered")->pCertInfo), 0);
    EXPECT_EQ(store.get("numbered").serialHex, "1234ABCD");
    EXPECT_EQ(store.indexOf("old") + store.indexOf("numbered"), 1);
    EXPECT_EQ(ListStore().certificates.size(), 2u);
}

} // namespace
} // namespace ordalis::test
