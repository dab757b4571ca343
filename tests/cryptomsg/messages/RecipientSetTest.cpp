// Envelopes that openssl makes for several recipients, ours among them: the
// recipients' entries form a DER SET OF, sorted by their encoding, so where
// ours stands depends on the others' names and keys.

#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <gtest/gtest.h>

#include <set>

namespace ordalis::test {
namespace {

// Where the entry for certificate stands among the envelope's recipients; -1 when absent.
int PositionOf(const std::string& envelope, X509* certificate, int* count)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(envelope.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(envelope.size())));
    STACK_OF(CMS_RecipientInfo)* recipients = cms ? CMS_get0_RecipientInfos(cms.get()) : nullptr;
    *count = recipients ? sk_CMS_RecipientInfo_num(recipients) : 0;
    for (int i = 0; i < *count; ++i)
        if (CMS_RecipientInfo_ktri_cert_cmp(sk_CMS_RecipientInfo_value(recipients, i), certificate) == 0)
            return i;
    return -1;
}

class RecipientSet : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Same issuer length and serial: the entries sort by the letter that starts the name.
        TestCertificateOptions ours;
        ours.subject = "CN=M recipient,O=Ordalis Test";
        ours.serialHex = "11111111111111111111111111111111";
        store.add("ours", KeyAlgorithm::Gost2012_256, ours);
        for (const char* letter : {"A", "Z"}) {
            TestCertificateOptions other = ours;
            other.subject = std::string("CN=") + letter + " recipient,O=Ordalis Test";
            other.withKey = false;
            store.add(letter, KeyAlgorithm::Gost2012_256, other);
        }
        TestCertificateOptions keyless;
        keyless.withKey = false;
        store.add("gost2001", KeyAlgorithm::Gost2001, keyless);
        store.add("gost2012_512", KeyAlgorithm::Gost2012_512, keyless);
        WriteFile(store.path("plain.bin"), content);
    }

    std::string envelopeFor(const std::vector<std::string>& labels)
    {
        std::string recipients;
        for (const std::string& label : labels)
            recipients += " '" + store.get(label).certificateFile + "'";
        std::string printed;
        EXPECT_EQ(RunOpenSsl(store.path(""),
                             "cms -encrypt -binary -gost89 -outform DER -in plain.bin -out set.enc" + recipients,
                             &printed),
                  0)
            << printed;
        return ReadFile(store.path("set.enc"));
    }

    TestStore store;
    const std::string content = PseudoRandomBytes(5000, 31);
};

TEST_F(RecipientSet, OurEntryIsFoundWhereverItStands)
{
    const CertContextPtr ours = store.context("ours");
    ASSERT_TRUE(ours);
    const CertStorePtr my = store.open();
    const std::vector<std::vector<std::string>> sets = {
        {"ours", "A"}, {"Z", "ours"}, {"A", "ours", "Z"}, {"gost2001", "ours", "gost2012_512"}};
    std::set<std::string> placesSeen;
    for (const auto& set : sets) {
        const std::string envelope = envelopeFor(set);
        int count = 0;
        const int at = PositionOf(envelope, CertContextX509(ours.get()), &count);
        ASSERT_EQ(count, static_cast<int>(set.size()));
        ASSERT_GE(at, 0);
        placesSeen.insert(at == 0 ? "first" : at == count - 1 ? "last" : "between");

        CertContextPtr exchange;
        const Outcome opened = DecryptMessage({my.get()}, envelope, &exchange);
        ASSERT_TRUE(opened.ok) << "ours at " << at << " of " << count << std::hex << ": " << opened.error;
        EXPECT_TRUE(opened.bytes == content) << "ours at " << at << " of " << count;
        ASSERT_TRUE(exchange);
        EXPECT_EQ(X509_cmp(CertContextX509(exchange.get()), CertContextX509(ours.get())), 0);
    }
    EXPECT_EQ(placesSeen, (std::set<std::string>{"first", "between", "last"}));
}

TEST_F(RecipientSet, WithoutOurEntryNothingIsDecrypted)
{
    const CertStorePtr my = store.open();
    const Outcome opened = DecryptMessage({my.get()}, envelopeFor({"A", "Z", "gost2001"}));
    EXPECT_FALSE(opened.ok);
    EXPECT_TRUE(opened.bytes.empty());
}

} // namespace
} // namespace ordalis::test
