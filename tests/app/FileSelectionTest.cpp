#include "app/FileSizeCheck.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/OtherUser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace ordalis::test {
namespace {

constexpr const char* kRefusal = "Размер файла не должен превышать 299 Мб";

// --- Handlers with the size check ------------------------------------------

struct SizeCheckedHandler {
    const char* button;
    const char* dialog;
    const char* filter;
    const char* label;
    const char* enables; // empty: enables nothing
    std::function<std::string(TForm1&)> slot;
};

void PrintTo(const SizeCheckedHandler& handler, std::ostream* out) { *out << handler.button; }

class SizeCheckedSelection : public WindowTest, public ::testing::WithParamInterface<SizeCheckedHandler> {
protected:
    void SetUp() override
    {
        // The certificate file button works only while its box is ticked.
        if (std::string(GetParam().button) == "Button11")
            checkBox("CheckBox4")->setChecked(true);
    }
    void choose(std::optional<std::string> path) { WindowTest::choose(GetParam().button, std::move(path)); }
    std::string slot() { return GetParam().slot(form); }
    std::string label() { return labelText(GetParam().label); }
    bool enabledButton() { return *GetParam().enables != '\0' && button(GetParam().enables)->isEnabled(); }
};

TEST_P(SizeCheckedSelection, AcceptsAFileOfExactlyTheLimit)
{
    const std::string path = makeFile("limit.bin", 314572800);
    choose(path);
    EXPECT_EQ(slot(), path);
    EXPECT_EQ(label(), path);
    EXPECT_EQ(enabledButton(), *GetParam().enables != '\0');
    EXPECT_TRUE(desktop.notices.empty());
    EXPECT_TRUE(desktop.errors.empty());
    ASSERT_EQ(desktop.fileRequests.size(), 1u);
    EXPECT_EQ(desktop.fileRequests[0].dialogName, GetParam().dialog);
    EXPECT_EQ(desktop.fileRequests[0].filter, GetParam().filter);
}

TEST_P(SizeCheckedSelection, RefusesAFileOneByteOverTheLimitButKeepsTheButton)
{
    choose(makeFile("small.bin", 10));
    choose(makeFile("over.bin", 314572801));
    EXPECT_EQ(desktop.notices, std::vector<std::string>{kRefusal});
    EXPECT_EQ(slot(), "");
    EXPECT_EQ(label(), "");
    EXPECT_EQ(enabledButton(), *GetParam().enables != '\0');
}

TEST_P(SizeCheckedSelection, CancelKeepsTheEarlierChoiceAndMeasuresItAgain)
{
    const std::string path = makeFile("chosen.bin", 10);
    choose(path);
    choose(std::nullopt);
    EXPECT_EQ(slot(), path);
    EXPECT_EQ(label(), path);
    EXPECT_TRUE(desktop.notices.empty());

    // Grown past the limit since it was chosen: the cancel measures it again.
    std::filesystem::resize_file(path, 314572801);
    choose(std::nullopt);
    EXPECT_EQ(desktop.notices, std::vector<std::string>{kRefusal});
    EXPECT_EQ(slot(), "");
    EXPECT_EQ(label(), "");
}

TEST_P(SizeCheckedSelection, CancelWithNothingChosenFailsAndChangesNothing)
{
    choose(std::nullopt);
    EXPECT_EQ(desktop.errors, std::vector<std::string>{"I/O error 6."});
    EXPECT_TRUE(desktop.notices.empty());
    EXPECT_EQ(label(), "");
    EXPECT_FALSE(enabledButton());
}

TEST_P(SizeCheckedSelection, DialogOpensWithTheNameItReturnedLast)
{
    const std::string first = makeFile("first.bin", 1);
    choose(first);
    choose(std::nullopt);
    choose(makeFile("second.bin", 1));
    ASSERT_EQ(desktop.fileRequests.size(), 3u);
    EXPECT_EQ(desktop.fileRequests[0].lastName, "");
    EXPECT_EQ(desktop.fileRequests[1].lastName, first);
    EXPECT_EQ(desktop.fileRequests[2].lastName, first); // a cancel returns no name
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, SizeCheckedSelection,
    ::testing::Values(SizeCheckedHandler{"Button2", "OpenDialog2", "", "Label2", "Button1",
                                         [](TForm1& f) { return f.signTab().fileToSign(); }},
                      SizeCheckedHandler{"Button6", "OpenDialog4", "", "Label4", "Button7",
                                         [](TForm1& f) { return f.encryptTab().fileToEncrypt(); }},
                      SizeCheckedHandler{"Button8", "OpenDialog5", "Зашифрованные файлы|*.enc", "Label5", "Button9",
                                         [](TForm1& f) { return f.decryptTab().fileToDecrypt(); }},
                      SizeCheckedHandler{"Button11", "OpenDialog6", "Certificate|*.cer", "Label6", "",
                                         [](TForm1& f) { return f.encryptTab().certificateFile(); }}));

// --- Files the size check cannot measure ------------------------------------

using UnmeasurableFile = WindowTest;

// The handler stops: the slot keeps the typed name, the label its earlier text.
TEST_F(UnmeasurableFile, StopsTheHandlerWithTheFileError)
{
    const std::string good = makeFile("good.bin", 1);
    const std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {dir.file("missing.bin"), "File not found."},
        {dir.file("no-such-folder/file.bin"), "Invalid filename."},
        {folder, "File access denied."},
    };
    for (const auto& c : cases) {
        TForm1 window(desktop);
        desktop.errors.clear();
        desktop.fileAnswers = {good, c.path};
        auto* open = window.findChild<QPushButton*>(QStringLiteral("Button2"));
        open->click();
        open->click();
        EXPECT_EQ(desktop.errors, std::vector<std::string>{c.error}) << c.path;
        EXPECT_EQ(window.signTab().fileToSign(), c.path);
        EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text().toStdString(), good);
        EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("Button1"))->isEnabled());
    }
}

TEST_F(UnmeasurableFile, UnreadableFileIsRefusedAccess)
{
    // Root reads every file, so the window runs as an unprivileged user here.
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    const std::string path = makeFile("secret.bin", 1);
    ASSERT_TRUE(user.own(dir.path()));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const ChildResult result = user.run([&] {
        choose("Button2", path);
        std::string errors;
        for (const std::string& error : desktop.errors)
            errors += error + "|";
        return errors + form.signTab().fileToSign();
    });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text, "File access denied.|" + path);
}

// Measuring needs no right to write: files that refuse writers are accepted.
TEST_F(UnmeasurableFile, FilesThatRefuseWritingAreAccepted)
{
    const std::string readOnly = makeFile("read-only.bin", 5);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    choose("Button2", readOnly);
    EXPECT_EQ(form.signTab().fileToSign(), readOnly);

    // A running program refuses writers even to root (ETXTBSY).
    const std::string running = std::filesystem::read_symlink("/proc/self/exe").string();
    choose("Button6", running);
    EXPECT_EQ(form.encryptTab().fileToEncrypt(), running);
    EXPECT_TRUE(desktop.errors.empty()) << desktop.errors.front();
}

// --- Handlers without the size check ------------------------------------------

using VerifySelection = WindowTest;

TEST_F(VerifySelection, VerifyButtonWaitsForBothFiles)
{
    // No size check here: a name typed for a missing file is taken as it is.
    const std::string source = dir.file("missing-source.bin");
    const std::string signature = makeFile("source.bin.sig", 314572801);
    choose("Button4", source);
    EXPECT_FALSE(button("Button3")->isEnabled());
    choose("Button5", signature);
    EXPECT_TRUE(button("Button3")->isEnabled());
    EXPECT_EQ(labelText("Label1"), source);
    EXPECT_EQ(labelText("Label3"), signature);
    EXPECT_EQ(form.verifyTab().fileToVerify(), source);
    EXPECT_EQ(form.verifyTab().signatureFile(), signature);
    EXPECT_TRUE(desktop.errors.empty());
    EXPECT_TRUE(desktop.notices.empty());
    ASSERT_EQ(desktop.fileRequests.size(), 2u);
    EXPECT_EQ(desktop.fileRequests[0].dialogName, "OpenDialog1");
    EXPECT_EQ(desktop.fileRequests[0].filter, "");
    EXPECT_EQ(desktop.fileRequests[1].dialogName, "OpenDialog3");
    EXPECT_EQ(desktop.fileRequests[1].filter, "Signature|*.sig|PKCS7|*.p7s");
}

TEST_F(VerifySelection, CancelEmptiesTheSlotButKeepsTheButton)
{
    const std::string source = makeFile("source.bin", 1);
    const std::string signature = makeFile("source.bin.p7s", 1);
    choose("Button4", source);
    choose("Button5", signature);
    choose("Button4", std::nullopt);
    choose("Button5", std::nullopt);
    EXPECT_EQ(form.verifyTab().fileToVerify(), "");
    EXPECT_EQ(form.verifyTab().signatureFile(), "");
    EXPECT_EQ(labelText("Label1"), "");
    EXPECT_EQ(labelText("Label3"), "");
    EXPECT_TRUE(button("Button3")->isEnabled());
    EXPECT_TRUE(desktop.errors.empty());
    // The dialogs still remember what they returned.
    ASSERT_EQ(desktop.fileRequests.size(), 4u);
    EXPECT_EQ(desktop.fileRequests[2].lastName, source);
    EXPECT_EQ(desktop.fileRequests[3].lastName, signature);
}

// --- The certificate file box ------------------------------------------------

using CertificateFileBox = WindowTest;

TEST_F(CertificateFileBox, TogglingClearsTheLabelButKeepsTheChosenFile)
{
    QCheckBox* box = checkBox("CheckBox4");
    box->setChecked(true);
    EXPECT_TRUE(button("Button11")->isEnabled());
    const std::string certificate = makeFile("recipient.cer", 700);
    choose("Button11", certificate);
    EXPECT_EQ(labelText("Label6"), certificate);
    EXPECT_FALSE(button("Button7")->isEnabled()); // a certificate alone enables nothing

    box->setChecked(false);
    EXPECT_EQ(labelText("Label6"), "");
    EXPECT_FALSE(button("Button11")->isEnabled());
    EXPECT_EQ(form.encryptTab().certificateFile(), certificate);

    box->click(); // as the user does
    EXPECT_EQ(labelText("Label6"), "");
    EXPECT_TRUE(button("Button11")->isEnabled());
    EXPECT_TRUE(form.encryptTab().certificateFromFileChecked());
    EXPECT_EQ(form.encryptTab().certificateFile(), certificate);
}

} // namespace
} // namespace ordalis::test
