#include "common/Error.h"
#include "cryptomsg/operations/DecryptOperation.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

class EncryptDecryptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        ::mkdir(store.path("").c_str(), 0700);
    }

    std::string Input(const std::string& name, const std::string& content)
    {
        WriteFile(store.path(name), content);
        return store.path(name);
    }

    OperationResult EncryptFromStore(const std::string& file, const std::string& label)
    {
        FakeDesktop encrypting;
        encrypting.certificateAnswers.push_back(store.indexOf(label));
        TestEncryptTab tab;
        tab.file = file;
        return EncryptOperation(tab, encrypting);
    }

    OperationResult Decrypt(const std::string& file, FakeDesktop& with)
    {
        TestDecryptTab tab;
        tab.file = file;
        const auto result = DecryptOperation(tab, with);
        EXPECT_TRUE(tab.reset);
        return result;
    }

    TestStore store;
    FakeDesktop desktop;
};

} // namespace

TEST_F(EncryptDecryptTest, RoundTripsForEachGostKeyFromStoreAndFile)
{
    const std::string sizes[] = {"", std::string(5000, 'x'), std::string(3 * 1024 * 1024 + 7, '\x5a')};
    for (const char* label : {"gost2001", "gost2012_256", "gost2012_512"}) {
        for (const bool fromFile : {false, true}) {
            for (const auto& content : sizes) {
                SCOPED_TRACE(std::string(label) + (fromFile ? " file " : " store ") + std::to_string(content.size()));
                const std::string file = Input("data.bin", content);
                FakeDesktop encrypting;
                TestEncryptTab tab;
                tab.file = file;
                if (fromFile) {
                    tab.fromFile = true;
                    tab.certificate = store.get(label).derFile;
                } else {
                    encrypting.certificateAnswers.push_back(store.indexOf(label));
                }
                const auto encrypted = EncryptOperation(tab, encrypting);
                ASSERT_TRUE(encrypted.succeeded);
                EXPECT_EQ(encrypted.outputs, std::vector<std::string>{file + ".enc"});
                EXPECT_EQ(encrypting.notices, std::vector<std::string>{"Файл зашифрован"});
                EXPECT_EQ(encrypting.folders, std::vector<std::string>{store.path("")});
                EXPECT_TRUE(tab.file.empty());
                EXPECT_TRUE(tab.certificate.empty());
                EXPECT_TRUE(tab.controlsReset);

                ::unlink(file.c_str());
                FakeDesktop decrypting;
                ASSERT_TRUE(Decrypt(file + ".enc", decrypting).succeeded);
                EXPECT_EQ(decrypting.notices, std::vector<std::string>{"Расшифрован"});
                EXPECT_EQ(decrypting.folders, std::vector<std::string>{store.path("")});
                EXPECT_EQ(ReadFile(file), content);
            }
        }
    }
}

TEST_F(EncryptDecryptTest, InteroperatesWithOpensslCms)
{
    const auto& recipient = store.get("gost2012_256");
    const std::string key = recipient.certificateFile.substr(0, recipient.certificateFile.size() - 4) + ".key";
    const std::string content = "interop content\n" + std::string(6000, 'q');
    const std::string file = Input("ours.txt", content);
    ASSERT_TRUE(EncryptFromStore(file, "gost2012_256").succeeded);
    std::string printed;
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "cms -decrypt -binary -inform DER -in ours.txt.enc -out ours.out -recip " +
                             recipient.certificateFile + " -inkey " + key,
                         &printed),
              0)
        << printed;
    EXPECT_EQ(ReadFile(store.path("ours.out")), content);

    Input("theirs.txt", content);
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "cms -encrypt -binary -gost89 -outform DER -in theirs.txt -out theirs.enc " +
                             recipient.certificateFile,
                         &printed),
              0)
        << printed;
    ASSERT_TRUE(Decrypt(store.path("theirs.enc"), desktop).succeeded);
    EXPECT_EQ(ReadFile(store.path("theirs")), content);
}

TEST_F(EncryptDecryptTest, NoRecipientEndsWithoutOutput)
{
    const std::string file = Input("a.txt", "abc");
    WriteFile(store.path("cert.pem"), ReadFile(store.get("gost2012_256").certificateFile));
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "PEM certificate file" : "cancelled dialog");
        FakeDesktop encrypting;
        TestEncryptTab tab;
        tab.file = file;
        tab.fromFile = fromFile;
        tab.certificate = fromFile ? store.path("cert.pem") : "";
        EXPECT_FALSE(EncryptOperation(tab, encrypting).succeeded);
        EXPECT_EQ(encrypting.notices, std::vector<std::string>{"Не выбран сертификат"});
        EXPECT_TRUE(tab.file.empty());
        EXPECT_EQ(tab.certificate, fromFile ? store.path("cert.pem") : "");
        EXPECT_FALSE(tab.encryptButton);
        EXPECT_TRUE(tab.controlsReset);
        EXPECT_TRUE(encrypting.folders.empty());
        EXPECT_FALSE(FileExists(file + ".enc"));
    }
}

TEST_F(EncryptDecryptTest, EncryptionErrorsKeepTheChosenFile)
{
    const std::string file = Input("b.txt", "abc");
    struct Case {
        const char* name;
        std::string certificate;
        bool fromFile;
        std::string messageStart;
    };
    const Case cases[] = {
        {"RSA recipient", store.get("rsa").derFile, true, "System Error.  Code: -2146889726.\r\n"},
        {"no certificate file chosen", "", true, "Cannot open file \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEncryptTab tab;
        tab.file = file;
        tab.fromFile = c.fromFile;
        tab.certificate = c.certificate;
        try {
            EncryptOperation(tab, desktop);
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.messageStart, 0), 0u) << e.what();
        }
        EXPECT_EQ(tab.file, file);
        EXPECT_TRUE(tab.controlsReset);
        EXPECT_FALSE(FileExists(file + ".enc"));
    }
    TestEncryptTab missing;
    missing.file = store.path("missing.txt");
    EXPECT_THROW(EncryptOperation(missing, desktop), Error);
    EXPECT_TRUE(missing.controlsReset);
}

TEST_F(EncryptDecryptTest, UnwritableOutputKeepsAnEarlierFile)
{
    const std::string file = Input("c.txt", "abc");
    ::mkdir((file + ".enc").c_str(), 0700);
    try {
        EncryptFromStore(file, "gost2012_256");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + file + ".enc\". ", 0), 0u) << e.what();
    }
    ::rmdir((file + ".enc").c_str());

    ASSERT_TRUE(EncryptFromStore(file, "gost2012_256").succeeded);
    ::unlink(file.c_str());
    ::mkdir(file.c_str(), 0700); // the decrypted name is taken by a folder
    EXPECT_THROW(Decrypt(file + ".enc", desktop), Error);
    EXPECT_TRUE(desktop.notices.empty());
    EXPECT_TRUE(desktop.folders.empty());
}

TEST_F(EncryptDecryptTest, DecryptionRefusalsShowTheErrorReport)
{
    const std::string file = Input("d.txt", "secret");
    store.add("elsewhere", KeyAlgorithm::Gost2012_256);
    ASSERT_TRUE(EncryptFromStore(file, "elsewhere").succeeded);
    // The key leaves the store: the message now names nobody we can decrypt for.
    const auto& gone = store.get("elsewhere");
    ::unlink((gone.certificateFile.substr(0, gone.certificateFile.size() - 4) + ".key").c_str());
    ::unlink(file.c_str());

    struct Case {
        const char* name;
        std::string input;
        std::string codeSuffix;
    };
    std::string damaged = ReadFile(file + ".enc");
    damaged[damaged.size() / 2] ^= 0x55;
    const Case cases[] = {
        {"no key for any recipient", file + ".enc", " - 2148081676"},
        {"not a message", Input("text.bin", "plain text, not DER"), ""},
        {"empty file", Input("empty.bin", ""), ""},
        {"damaged message", Input("damaged.enc", damaged), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDesktop decrypting;
        EXPECT_FALSE(Decrypt(c.input, decrypting).succeeded);
        ASSERT_EQ(decrypting.notices.size(), 1u);
        const std::string& report = decrypting.notices[0];
        EXPECT_NE(report.find(" - "), std::string::npos) << report;
        if (!c.codeSuffix.empty()) {
            EXPECT_EQ(report.substr(report.size() - c.codeSuffix.size()), c.codeSuffix);
        }
        EXPECT_TRUE(decrypting.folders.empty());
        EXPECT_FALSE(FileExists(DecryptedFileName(c.input)));
    }
}

TEST_F(EncryptDecryptTest, ShortNamesAreRefusedWithoutWriting)
{
    const std::string file = Input("data", "x");
    ASSERT_TRUE(EncryptFromStore(file, "gost2012_256").succeeded);
    // ".enc" less four characters names the folder itself.
    std::filesystem::rename(file + ".enc", store.path(".enc"));
    const auto before = ListFolder(store.path(""));
    FakeDesktop decrypting;
    EXPECT_FALSE(Decrypt(store.path(".enc"), decrypting).succeeded);
    ASSERT_EQ(decrypting.notices.size(), 1u);
    EXPECT_NE(decrypting.notices[0].find("слишком короткое"), std::string::npos);
    EXPECT_TRUE(decrypting.folders.empty());
    EXPECT_EQ(ListFolder(store.path("")), before);
    EXPECT_EQ(DecryptedFileName(store.path("a.enc")), store.path("a"));
}

TEST_F(EncryptDecryptTest, EmptySlotGivesTheOpenErrorAfterCleanUp)
{
    TestDecryptTab tab;
    EXPECT_THROW(DecryptOperation(tab, desktop), Error);
    EXPECT_TRUE(tab.reset);
}

TEST(DecryptedFileName, CutsFourCharacters)
{
    EXPECT_EQ(DecryptedFileName("/data/report.pdf.enc"), "/data/report.pdf");
    EXPECT_EQ(DecryptedFileName("/data/report.bin"), "/data/report");
    EXPECT_EQ(DecryptedFileName("abc"), "");
}

TEST_F(EncryptDecryptTest, GivenRecipientsAreUsedAndNoneIsAskedFor)
{
    const std::string file = Input("e.txt", "for two");
    const CertContextPtr first = store.context("gost2001");
    const CertContextPtr second = store.context("gost2012_512");
    const PCCERT_CONTEXT recipients[] = {first.get(), second.get()};
    TestEncryptTab tab;
    tab.file = file;
    const auto encrypted = EncryptOperationFor(tab, desktop, recipients);
    ASSERT_TRUE(encrypted.succeeded);
    EXPECT_EQ(encrypted.outputs, std::vector<std::string>{file + ".enc"});
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Файл зашифрован"});
    EXPECT_TRUE(desktop.certificateTitles.empty()) << "no dialog";
    EXPECT_EQ(desktop.folders, std::vector<std::string>{store.path("")});
    EXPECT_TRUE(tab.file.empty());
    EXPECT_TRUE(tab.controlsReset);

    // Each recipient's key opens it: the store is left with one of the two keys at a time.
    for (const char* gone : {"gost2001", "gost2012_512"}) {
        const std::string key = std::filesystem::path(store.get(gone).certificateFile).replace_extension(".key");
        const std::string aside = store.path("aside.key");
        ASSERT_EQ(::rename(key.c_str(), aside.c_str()), 0);
        ::unlink(file.c_str());
        FakeDesktop opening;
        EXPECT_TRUE(Decrypt(file + ".enc", opening).succeeded) << "without " << gone;
        EXPECT_EQ(ReadFile(file), "for two");
        ASSERT_EQ(::rename(aside.c_str(), key.c_str()), 0);
    }

    TestEncryptTab none;
    none.file = file;
    EXPECT_THROW(EncryptOperationFor(none, desktop, {}), Error);
    TestEncryptTab missing;
    missing.file = store.path("missing.txt");
    EXPECT_THROW(EncryptOperationFor(missing, desktop, recipients), Error);
    EXPECT_TRUE(missing.controlsReset);
}
