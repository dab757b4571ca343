#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

class SignOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        ::mkdir(store.path("").c_str(), 0700);
        source = store.path("report.pdf");
        WriteFile(source, "%PDF-1.4 report body\n");
        tab.file = source;
    }

    void choose(const std::string& label) { desktop.certificateAnswers.push_back(store.indexOf(label)); }

    TestStore store;
    FakeDesktop desktop;
    TestSignTab tab;
    std::string source;
};

std::string Decoded(const std::string& text)
{
    ByteBuffer in, out;
    in.write(text.data(), text.size());
    in.setPosition(0);
    ArmourDecode(in, out);
    return {reinterpret_cast<const char*>(out.data()), out.length()};
}

} // namespace

TEST_F(SignOperationTest, EachGostKeySignsDetachedAndAttachedAsDerAndBase64)
{
    for (const char* label : {"gost2001", "gost2012_256", "gost2012_512"}) {
        for (const bool attached : {false, true}) {
            for (const bool base64 : {false, true}) {
                SCOPED_TRACE(std::string(label) + (attached ? " attached" : " detached") + (base64 ? " p7s" : " sig"));
                tab = TestSignTab{};
                tab.file = source;
                tab.attached = attached;
                tab.base64 = base64;
                choose(label);
                const auto result = SignOperation(tab, desktop);
                const std::string output = source + (base64 ? ".p7s" : ".sig");
                ASSERT_TRUE(result.succeeded);
                EXPECT_EQ(result.outputs, std::vector<std::string>{output});
                std::string der = ReadFile(output);
                if (base64) {
                    EXPECT_EQ(der.rfind("MI", 0), 0u);
                    der = Decoded(der);
                }
                WriteFile(store.path("check.der"), der);
                std::string printed;
                const std::string args = "cms -verify -binary -noverify -inform DER -in check.der -out extracted" +
                                         std::string(attached ? "" : " -content report.pdf");
                ASSERT_EQ(RunOpenSsl(store.path(""), args, &printed), 0) << printed;
                EXPECT_EQ(ReadFile(store.path("extracted")), ReadFile(source));
            }
        }
    }
}

TEST_F(SignOperationTest, SuccessResetsTheTabAndOpensTheFolder)
{
    tab.attached = true;
    tab.base64 = true;
    choose("gost2012_256");
    SignOperation(tab, desktop);
    EXPECT_EQ(desktop.certificateTitles, std::vector<std::string>{"Укажите сертификат для подписи"});
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Подписанное сообщение создано"});
    EXPECT_EQ(desktop.folders, std::vector<std::string>{store.path("")});
    EXPECT_TRUE(tab.file.empty());
    EXPECT_FALSE(tab.label);
    EXPECT_FALSE(tab.button);
    EXPECT_FALSE(tab.attached);
    EXPECT_FALSE(tab.base64);
}

TEST_F(SignOperationTest, AnEmptyFileAndAnExistingSignatureAreHandledPlainly)
{
    WriteFile(source, "");
    WriteFile(source + ".sig", "old signature");
    choose("gost2012_512");
    ASSERT_TRUE(SignOperation(tab, desktop).succeeded);
    EXPECT_NE(ReadFile(source + ".sig"), "old signature");
    std::string printed;
    EXPECT_EQ(RunOpenSsl(store.path(""),
                         "cms -verify -binary -noverify -inform DER -in report.pdf.sig -content report.pdf", &printed),
              0)
        << printed;
}

TEST_F(SignOperationTest, CancelledDialogDropsTheFileAndClearsOnlyAttached)
{
    tab.attached = tab.base64 = tab.pack = true;
    EXPECT_FALSE(SignOperation(tab, desktop).succeeded);
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Не выбран сертификат"});
    EXPECT_TRUE(tab.file.empty());
    EXPECT_FALSE(tab.button);
    EXPECT_FALSE(tab.attached);
    EXPECT_TRUE(tab.base64);
    EXPECT_TRUE(tab.pack);
    EXPECT_TRUE(desktop.folders.empty());
}

TEST_F(SignOperationTest, RefusalsKeepTheFileChosen)
{
    store.add("nokey", KeyAlgorithm::Gost2012_256, [] {
        TestCertificateOptions options;
        options.withKey = false;
        return options;
    }());

    struct Case {
        const char* label;
        std::optional<std::string> password;
        const char* noticeStart;
        bool attachedAfter;
    };
    const Case cases[] = {
        {"nokey", std::nullopt, "Не удалось определить криптопровайдер", false},
        {"protected", std::nullopt, "Не удалось определить криптопровайдер", false},
        // An RSA key gets the empty hash identifier and the service refuses it in the size pass.
        {"rsa", std::nullopt, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        desktop = FakeDesktop{};
        tab.file = source;
        tab.attached = true;
        choose(c.label);
        if (c.password)
            desktop.passwordAnswers.push_back(c.password);
        EXPECT_FALSE(SignOperation(tab, desktop).succeeded);
        ASSERT_EQ(desktop.notices.size(), 1u);
        if (c.noticeStart) {
            EXPECT_EQ(desktop.notices[0], c.noticeStart);
        } else {
            // The Error report: text, " - ", a ten-digit code.
            const std::string& text = desktop.notices[0];
            const auto dash = text.rfind(" - ");
            ASSERT_NE(dash, std::string::npos) << text;
            EXPECT_EQ(text.size() - dash - 3, 10u) << text;
        }
        EXPECT_EQ(tab.file, source);
        EXPECT_TRUE(tab.button);
        EXPECT_EQ(tab.attached, c.attachedAfter);
        EXPECT_TRUE(desktop.folders.empty());
        EXPECT_FALSE(FileExists(source + ".sig"));
    }
}

TEST_F(SignOperationTest, ProtectedKeySignsWithItsPassword)
{
    choose("protected");
    desktop.passwordAnswers.push_back("wrong");
    desktop.passwordAnswers.push_back(std::string(kProtectedKeyPassword));
    EXPECT_TRUE(SignOperation(tab, desktop).succeeded);
    EXPECT_TRUE(FileExists(source + ".sig"));
}

TEST_F(SignOperationTest, UnwritableOutputRaisesAfterTheNoticeAndKeepsTheFile)
{
    ::mkdir((source + ".sig").c_str(), 0700); // a folder where the signature should go
    tab.attached = true;
    choose("gost2012_256");
    try {
        SignOperation(tab, desktop);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + source + ".sig\". ", 0), 0u) << e.what();
    }
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Подписанное сообщение создано"});
    EXPECT_EQ(tab.file, source);
    EXPECT_TRUE(tab.attached);
    EXPECT_TRUE(desktop.folders.empty());
}

TEST_F(SignOperationTest, PackingWritesTheArchiveAndSaysSo)
{
    tab.pack = tab.base64 = tab.attached = true;
    choose("gost2012_256");
    const auto result = SignOperation(tab, desktop);
    const std::string archive = source + ".p7s.7z";
    ASSERT_TRUE(result.succeeded);
    EXPECT_EQ(result.outputs, (std::vector<std::string>{source + ".p7s", archive}));
    EXPECT_EQ(desktop.notices, (std::vector<std::string>{"Подписанное сообщение создано", "Создан архив:" + archive}));
    EXPECT_FALSE(tab.pack);
    EXPECT_FALSE(tab.attached);
    EXPECT_TRUE(FileExists(archive));
}

TEST_F(SignOperationTest, PackingWithoutTheLibraryKeepsTheSignatureAndTheTicks)
{
    tab.pack = true;
    tab.attached = true;
    choose("gost2012_256");
    SignOptions options;
    options.sevenZipLibrary = "no-such-7z-library.so";
    try {
        SignOperation(tab, desktop, options);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Error loading library no-such-7z-library.so");
    }
    EXPECT_TRUE(FileExists(source + ".sig"));
    EXPECT_FALSE(FileExists(source + ".sig.7z"));
    EXPECT_TRUE(tab.pack);
    EXPECT_FALSE(tab.attached);
    EXPECT_EQ(tab.file, source);
    EXPECT_TRUE(desktop.folders.empty());
}
