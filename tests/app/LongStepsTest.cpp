// The long steps of the operations: named, with the 7-Zip library's progress,
// and right when they run on a thread of their own, as the window runs them.

#include "cryptomsg/operations/OperationSupport.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TestStore.h"

#include <QPlainTextEdit>

#include <stdexcept>

namespace ordalis::test {
namespace {

class LongSteps : public WindowTest {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        file = dir.file("report.pdf");
        WriteFile(file, std::string(200000, 'r'));
        desktop.longStepsOnAThread = true;
    }

    void sign(const std::string& label, bool pack)
    {
        choose("Button2", file);
        checkBox("CheckBox1")->setChecked(pack);
        desktop.certificateAnswers.push_back(store.indexOf(label));
        button("Button1")->click();
    }

    TestStore store;
    std::string file;
};

TEST_F(LongSteps, EachOperationRunsItsHeavyWorkAsANamedStep)
{
    sign("gost2012_256", true);
    ASSERT_TRUE(desktop.errors.empty()) << desktop.errors[0];
    const std::string signature = file + ".sig";
    const auto signatureSize = std::to_string(std::filesystem::file_size(signature));
    EXPECT_EQ(desktop.longSteps,
              (std::vector<std::string>{"Подпись файла: " + file + " (200000)",
                                        "Упаковка в архив 7z: " + file + " (" +
                                            std::to_string(200000 + std::stoul(signatureSize)) + ")"}));
    // The library's own count: the bytes of both files, then its progress up to them.
    ASSERT_FALSE(desktop.progressTotals.empty());
    EXPECT_EQ(desktop.progressTotals.back(), 200000 + std::stoul(signatureSize));
    ASSERT_FALSE(desktop.progressDone.empty());
    EXPECT_LE(desktop.progressDone.back(), desktop.progressTotals.back());
    EXPECT_TRUE(FileExists(signature + ".7z"));

    desktop.longSteps.clear();
    choose("Button4", file);
    choose("Button5", signature);
    button("Button3")->click();
    EXPECT_EQ(control<QPlainTextEdit>("Memo1")->toPlainText().split(u'\n').value(1).toStdString(),
              "V - Подпись математически верна...");

    choose("Button6", file);
    desktop.certificateAnswers.push_back(store.indexOf("protected"));
    button("Button7")->click();
    WriteFile(file, "gone");
    choose("Button8", file + ".enc");
    desktop.passwordAnswers.push_back(std::string(kProtectedKeyPassword));
    button("Button9")->click();
    EXPECT_EQ(ReadFile(file), std::string(200000, 'r'));
    EXPECT_EQ(desktop.longSteps,
              (std::vector<std::string>{"Проверка подписи файла: " + file + " (200000)",
                                        "Шифрование файла: " + file + " (200000)",
                                        "Расшифрование файла: " + file + ".enc (" +
                                            std::to_string(std::filesystem::file_size(file + ".enc")) + ")"}));
    EXPECT_TRUE(desktop.errors.empty());
}

TEST_F(LongSteps, AFailedCallOnTheStepsThreadLeavesItsCodeForTheCaller)
{
    SetLastError(0);
    const bool ok = RunLongCall(desktop, {"Проверка", file, 1}, [] {
        SetLastError(0x80091007u);
        return false;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), 0x80091007u);

    // What the step throws reaches the caller as it was thrown.
    EXPECT_THROW(desktop.runLongStep({"Проверка", file, 1}, [](StepProgress&) { throw std::range_error("x"); }),
                 std::range_error);
}

} // namespace
} // namespace ordalis::test
