// Decrypting key-agreement envelopes whose sender is named by issuer and serial
// number: the sender's certificate comes from the stores, with the TC26 examples.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MissingSender.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/IgnoredEngineLeaks.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/Tc26Examples.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

struct SenderRecordingTab : TestDecryptTab {
    std::vector<OriginatorName> missing;
    void senderCertificateMissing(const OriginatorName& sender) override { missing.push_back(sender); }
};

class NamedSender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(store.path("").c_str(), 0700);
        ASSERT_TRUE(EnsureGostEngine()); // as ordalis-store does before it imports
        // The swapped example is addressed to the TC26 sender, whose key is published.
        ImportTc26SenderKeyPair();
        WriteFile(envelope, Tc26SwappedAgreement());
    }

    OperationResult decrypt(const std::string& file)
    {
        tab = SenderRecordingTab();
        tab.file = file;
        desktop = FakeDesktop();
        return DecryptOperation(tab, desktop);
    }

    // A certificate for a new key, issued in the name of the TC26 CA by a look-alike of it.
    std::string lookAlike(const std::string& subject, const std::string& serial)
    {
        const std::string name = "look-alike-" + serial + ".pem";
        const std::string newKey = "-newkey gost2012_256 -pkeyopt paramset:A -nodes -days 30 ";
        std::string printed;
        EXPECT_EQ(RunOpenSsl(store.path(""),
                             "req -x509 " + newKey +
                                 "-keyout ca.key -out ca.pem -subj '/O=TK26/CN=CA TK26: GOST "
                                 "34.10-12 256-bit'",
                             &printed),
                  0)
            << printed;
        EXPECT_EQ(RunOpenSsl(store.path(""),
                             "req -x509 " + newKey +
                                 "-keyout look-alike.key -CA ca.pem -CAkey ca.key "
                                 "-subj '" +
                                 subject + "' -set_serial 0x" + serial + " -out " + name,
                             &printed),
                  0)
            << printed;
        return store.path(name);
    }

    static std::string output(const std::string& file) { return file.substr(0, file.size() - 4); }

    TestStore store;
    const std::string envelope = store.path("letter.txt.enc");
    SenderRecordingTab tab;
    FakeDesktop desktop;
};

TEST_F(NamedSender, OpensWithTheSendersCertificateFromAnyOfTheOtherStores)
{
    for (const char* storeName : {"AddressBook", "CA", "ROOT"}) {
        ImportFile(Tc26File("recipient256_cert.pem"), {}, storeName);
        const OperationResult result = decrypt(envelope);
        ASSERT_TRUE(result.succeeded) << storeName << ": " << testing::PrintToString(desktop.notices);
        EXPECT_EQ(ReadFile(output(envelope)), Tc26Plaintext()) << storeName;
        EXPECT_EQ(desktop.notices, std::vector<std::string>{"Расшифрован"}) << storeName;
        EXPECT_TRUE(tab.missing.empty());
        std::filesystem::remove_all(StoreFolderPath(storeName));
        std::filesystem::remove(output(envelope));
    }
}

TEST_F(NamedSender, WithoutItTheEnvelopeIsRefusedAsBeforeAndTheSenderIsNamed)
{
    // A look-alike with the sender's subject and another serial number is no sender.
    ImportFile(lookAlike("/O=TK26/CN=RECIPIENT: GOST 34.10-12 256-bit", "018CBA99"), {}, "AddressBook");
    const OperationResult result = decrypt(envelope);
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(std::filesystem::exists(output(envelope)));
    // The window shows what it showed before for an envelope it cannot open.
    EXPECT_EQ(desktop.notices, std::vector<std::string>{ErrorReportText(codes::NoDecryptCert)});
    ASSERT_EQ(tab.missing.size(), 1u);
    EXPECT_EQ(tab.missing[0].issuer, "O=TK26, CN=CA TK26: GOST 34.10-12 256-bit");
    EXPECT_EQ(tab.missing[0].serialHex, "018CBA83");
    EXPECT_EQ(tab.missing[0].keyIdHex, "");
}

TEST_F(NamedSender, ALookAlikeWithTheSendersIssuerAndSerialNumberFailsWithoutOutput)
{
    // The key agreement is computed with the wrong key: the content key does not unwrap.
    ImportFile(lookAlike("/O=TK26/CN=RECIPIENT: GOST 34.10-12 256-bit", "018CBA83"), {}, "AddressBook");
    const OperationResult result = decrypt(envelope);
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(std::filesystem::exists(output(envelope)));
    ASSERT_EQ(desktop.notices.size(), 1u);
    EXPECT_NE(desktop.notices[0], ErrorReportText(0));
    EXPECT_TRUE(tab.missing.empty()) << "a sender was found, if the wrong one";
}

TEST_F(NamedSender, NoSenderIsNamedForAnEnvelopeThatIsNotForTheStore)
{
    // The store's key is another party's: the envelope's missing sender is not its concern.
    std::filesystem::remove_all(StoreFolderPath("MY"));
    ImportFile(Tc26File("recipient512_cert.pem"), {}, "MY");
    ImportFile(Tc26File("recipient512_key.pem"), {}, "MY");
    const OperationResult result = decrypt(envelope);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(desktop.notices, std::vector<std::string>{ErrorReportText(codes::NoDecryptCert)});
    EXPECT_TRUE(tab.missing.empty());

    // The question leaves the failure's code for the caller to report.
    const std::string der = ReadFile(envelope);
    CRYPT_DECRYPT_MESSAGE_PARA para{kDecryptMessageParaSize, kEncodingType, 0, nullptr};
    SetLastError(codes::NoDecryptCert);
    EXPECT_FALSE(
        MissingSenderCertificate(para, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size())));
    EXPECT_EQ(GetLastError(), codes::NoDecryptCert);
}

TEST(Tc26KeyAgreement, TheExampleWithAnOriginatorKeyOpensWithTheRecipientsKey)
{
    TestStore store;
    ASSERT_TRUE(EnsureGostEngine());
    ImportFile(Tc26File("recipient512_cert.pem"), {}, "MY");
    ImportFile(Tc26File("recipient512_key.pem"), {}, "MY");
    ::mkdir(store.path("").c_str(), 0700);
    WriteFile(store.path("example.txt.enc"), Tc26Der("encrypted_keyagree_a211.pem"));
    FakeDesktop desktop;
    TestDecryptTab tab;
    tab.file = store.path("example.txt.enc");
    [[maybe_unused]] const IgnoredEngineLeaks engineLeaks{};
    ASSERT_TRUE(DecryptOperation(tab, desktop).succeeded) << testing::PrintToString(desktop.notices);
    EXPECT_EQ(ReadFile(store.path("example.txt")), Tc26Plaintext());
}

} // namespace
} // namespace ordalis::test
