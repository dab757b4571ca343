// The operations read and reset the tabs through these views; what they clear
// and what they leave alone decides what the user sees after an operation.

#include "tests/app/WindowFixture.h"

#include <QPlainTextEdit>

namespace ordalis::test {
namespace {

using TabViews = WindowTest;

TEST_F(TabViews, SignTabReadsTheBoxesAndClearsItsFile)
{
    choose("Button2", makeFile("report.pdf", 3));
    checkBox("CheckBox1")->setChecked(true);
    checkBox("CheckBox3")->setChecked(true);
    SignTab& tab = form.signTab();
    EXPECT_TRUE(tab.packChecked());
    EXPECT_FALSE(tab.base64Checked());
    EXPECT_TRUE(tab.attachedChecked());

    tab.clearFileToSign();
    tab.uncheckPack();
    tab.uncheckAttached();
    EXPECT_EQ(tab.fileToSign(), "");
    EXPECT_EQ(labelText("Label2"), "");
    EXPECT_FALSE(button("Button1")->isEnabled());
    EXPECT_FALSE(checkBox("CheckBox1")->isChecked());
    EXPECT_FALSE(checkBox("CheckBox3")->isChecked());
}

TEST_F(TabViews, VerifyTabWritesTheReportAndResetsBothFiles)
{
    VerifyTab& tab = form.verifyTab();
    tab.clearReport();
    tab.appendReportLine("Подпись верна");
    tab.appendReportLine("Серийный номер: 01 02");
    EXPECT_EQ(control<QPlainTextEdit>("Memo1")->toPlainText(), QStringLiteral("Подпись верна\nСерийный номер: 01 02"));

    choose("Button4", makeFile("a.txt", 1));
    choose("Button5", makeFile("a.txt.sig", 1));
    tab.resetSelection();
    EXPECT_EQ(tab.fileToVerify(), "");
    EXPECT_EQ(tab.signatureFile(), "");
    EXPECT_EQ(labelText("Label1"), "");
    EXPECT_EQ(labelText("Label3"), "");
    EXPECT_FALSE(button("Button3")->isEnabled());
    // The report stays for the user to read.
    EXPECT_TRUE(control<QPlainTextEdit>("Memo1")->toPlainText().startsWith(QStringLiteral("Подпись верна")));
}

TEST_F(TabViews, EncryptTabResetLeavesTheCertificateFileToItsOwnCall)
{
    checkBox("CheckBox4")->setChecked(true);
    const std::string certificate = makeFile("to.cer", 1);
    choose("Button11", certificate);
    choose("Button6", makeFile("plain.txt", 1));
    EncryptTab& tab = form.encryptTab();

    tab.resetControls();
    EXPECT_EQ(labelText("Label4"), "");
    EXPECT_EQ(labelText("Label6"), "");
    EXPECT_FALSE(button("Button7")->isEnabled());
    EXPECT_FALSE(tab.certificateFromFileChecked());
    EXPECT_FALSE(button("Button11")->isEnabled());
    EXPECT_EQ(tab.certificateFile(), certificate);
    EXPECT_NE(tab.fileToEncrypt(), "");

    tab.clearCertificateFile();
    tab.clearFileToEncrypt();
    EXPECT_EQ(tab.certificateFile(), "");
    EXPECT_EQ(tab.fileToEncrypt(), "");
}

TEST_F(TabViews, DecryptTabResetClearsFileLabelAndButton)
{
    choose("Button8", makeFile("secret.txt.enc", 1));
    ASSERT_TRUE(button("Button9")->isEnabled());
    form.decryptTab().resetSelection();
    EXPECT_EQ(form.decryptTab().fileToDecrypt(), "");
    EXPECT_EQ(labelText("Label5"), "");
    EXPECT_FALSE(button("Button9")->isEnabled());
}

} // namespace
} // namespace ordalis::test
