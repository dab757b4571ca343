// The operations driven through the window: what each way out leaves on the tab.

#include "tests/app/WindowFixture.h"
#include "tests/support/TestStore.h"

#include <QPlainTextEdit>

#include <sys/stat.h>

namespace ordalis::test {
namespace {

class ThroughWindow : public WindowTest {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        file = dir.file("report.pdf");
        WriteFile(file, "%PDF report");
    }

    void signWith(std::optional<std::string> label, bool attached = true)
    {
        choose("Button2", file);
        checkBox("CheckBox3")->setChecked(attached);
        if (label)
            desktop.certificateAnswers.push_back(store.indexOf(*label));
        button("Button1")->click();
    }

    std::string memo() { return control<QPlainTextEdit>("Memo1")->toPlainText().toStdString(); }

    TestStore store;
    std::string file;
};

TEST_F(ThroughWindow, SignSuccessResetsTheTabAndOpensTheFolder)
{
    checkBox("CheckBox2")->setChecked(true);
    signWith("gost2012_256");
    EXPECT_TRUE(FileExists(file + ".p7s"));
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Подписанное сообщение создано"});
    EXPECT_EQ(desktop.folders, std::vector<std::string>{dir.path() + "/"});
    EXPECT_EQ(labelText("Label2"), "");
    EXPECT_FALSE(button("Button1")->isEnabled());
    EXPECT_FALSE(checkBox("CheckBox2")->isChecked());
    EXPECT_FALSE(checkBox("CheckBox3")->isChecked());
}

TEST_F(ThroughWindow, SignCancelDropsTheFile)
{
    checkBox("CheckBox1")->setChecked(true);
    signWith(std::nullopt);
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Не выбран сертификат"});
    EXPECT_EQ(labelText("Label2"), "");
    EXPECT_FALSE(button("Button1")->isEnabled());
    EXPECT_FALSE(checkBox("CheckBox3")->isChecked());
    EXPECT_TRUE(checkBox("CheckBox1")->isChecked());
}

TEST_F(ThroughWindow, SignRefusalsKeepTheFileChosen)
{
    TestCertificateOptions noKey;
    noKey.withKey = false;
    store.add("nokey", KeyAlgorithm::Gost2012_256, noKey);
    for (const char* label : {"nokey", "protected", "rsa"}) {
        SCOPED_TRACE(label);
        desktop.notices.clear();
        signWith(std::string(label)); // the protected key's prompt is cancelled
        ASSERT_EQ(desktop.notices.size(), 1u);
        if (std::string(label) == "rsa") {
            const std::string& report = desktop.notices[0];
            ASSERT_GT(report.size(), 13u);
            EXPECT_EQ(report.substr(report.size() - 13, 3), " - ") << report;
        } else {
            EXPECT_EQ(desktop.notices[0], "Не удалось определить криптопровайдер");
        }
        EXPECT_EQ(labelText("Label2"), file);
        EXPECT_TRUE(button("Button1")->isEnabled());
        EXPECT_FALSE(checkBox("CheckBox3")->isChecked());
        EXPECT_TRUE(desktop.folders.empty());
    }
}

TEST_F(ThroughWindow, SignIntoAnUnwritablePlaceShowsTheErrorBox)
{
    ::mkdir((file + ".sig").c_str(), 0700);
    signWith("gost2012_512");
    ASSERT_EQ(desktop.errors.size(), 1u);
    EXPECT_EQ(desktop.errors[0].rfind("Cannot create file \"" + file + ".sig\". ", 0), 0u) << desktop.errors[0];
    EXPECT_EQ(desktop.errors[0].back(), '.');
    EXPECT_EQ(labelText("Label2"), file);
    EXPECT_TRUE(button("Button1")->isEnabled());
    EXPECT_TRUE(checkBox("CheckBox3")->isChecked());
}

TEST_F(ThroughWindow, VerifyWritesTheReportAndClearsTheChoice)
{
    signWith("gost2001", false);
    choose("Button4", file);
    choose("Button5", file + ".sig");
    button("Button3")->click();
    const std::string report = memo();
    EXPECT_EQ(report.rfind("Проверка отсоединенной подписи.....\nV - Подпись математически верна...\n", 0), 0u)
        << report;
    EXPECT_EQ(labelText("Label1"), "");
    EXPECT_EQ(labelText("Label3"), "");
    EXPECT_FALSE(button("Button3")->isEnabled());

    // A missing signature file: the error box, and nothing else changes.
    choose("Button4", file);
    choose("Button5", file + ".missing");
    button("Button3")->click();
    EXPECT_EQ(desktop.errors.back(), "File not found.");
    EXPECT_EQ(memo(), report);
    EXPECT_EQ(labelText("Label1"), file);
    EXPECT_TRUE(button("Button3")->isEnabled());
}

TEST_F(ThroughWindow, EncryptAndDecrypt)
{
    choose("Button6", file);
    desktop.certificateAnswers.push_back(store.indexOf("gost2012_256"));
    button("Button7")->click();
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Файл зашифрован"});
    EXPECT_FALSE(button("Button7")->isEnabled());
    EXPECT_EQ(labelText("Label4"), "");

    WriteFile(file, "overwritten");
    choose("Button8", file + ".enc");
    button("Button9")->click();
    EXPECT_EQ(desktop.notices.back(), "Расшифрован");
    EXPECT_EQ(ReadFile(file), "%PDF report");
    EXPECT_EQ(labelText("Label5"), "");
    EXPECT_FALSE(button("Button9")->isEnabled());
    EXPECT_EQ(desktop.folders.size(), 2u);
}

TEST_F(ThroughWindow, EncryptWithoutRecipientResetsTheTab)
{
    WriteFile(dir.file("partner.cer"), ReadFile(store.get("gost2012_256").certificateFile)); // PEM, not DER
    choose("Button6", file);
    checkBox("CheckBox4")->setChecked(true);
    choose("Button11", dir.file("partner.cer"));
    button("Button7")->click();
    EXPECT_EQ(desktop.notices, std::vector<std::string>{"Не выбран сертификат"});
    EXPECT_FALSE(checkBox("CheckBox4")->isChecked());
    EXPECT_FALSE(button("Button11")->isEnabled());
    EXPECT_FALSE(button("Button7")->isEnabled());
    EXPECT_EQ(labelText("Label4"), "");
    EXPECT_EQ(labelText("Label6"), "");
    EXPECT_FALSE(FileExists(file + ".enc"));
}

TEST_F(ThroughWindow, DecryptRefusalShowsTheErrorReportAndResets)
{
    WriteFile(file + ".enc", "not an enveloped message");
    choose("Button8", file + ".enc");
    button("Button9")->click();
    ASSERT_EQ(desktop.notices.size(), 1u);
    EXPECT_NE(desktop.notices[0].find(" - "), std::string::npos);
    EXPECT_EQ(labelText("Label5"), "");
    EXPECT_FALSE(button("Button9")->isEnabled());
    EXPECT_TRUE(desktop.folders.empty());
}

} // namespace
} // namespace ordalis::test
