// The window's progress dialog around a long step: what it says, that nothing
// else takes input meanwhile, and that it closes when the step ends.

#include "app/QtDesktop.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace ordalis::test {
namespace {

// The modal window on top; a progress dialog that is not modal is found too,
// so that a test of its modality fails rather than waits for it.
QWidget* TopDialog()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == QStringLiteral("progressDialog"))
            return window;
    return nullptr;
}

// Calls act on each new modal window, from the event loop that shows it.
class EachModal {
public:
    explicit EachModal(std::function<void(QWidget*)> act) : m_act(std::move(act))
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = TopDialog();
            if (modal == nullptr || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            m_act(modal);
        });
        m_poll.start();
    }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_poll;
    QWidget* m_last = nullptr;
};

class ProgressDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        start = new QPushButton(QStringLiteral("Подписать"), &owner);
        QObject::connect(start, &QPushButton::clicked, [this] { ++clicks; });
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        desktop.setOwner(&owner);
    }

    // A click through the window system, as a user's comes.
    void clickStart()
    {
        QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, start->mapTo(&owner, start->rect().center()));
    }

    QWidget owner;
    QPushButton* start = nullptr;
    int clicks = 0;
    QtDesktop desktop{QStringLiteral("Ordalis")};
};

TEST_F(ProgressDialogTest, ShowsTheStepAndItsProgressAndNothingElseTakesInput)
{
    clickStart();
    ASSERT_EQ(clicks, 1) << "the click does not reach the button even without a dialog";
    std::atomic<bool> busySeen{false}, released{false};
    QString title, action, file;
    int buttons = -1, valueShown = -1;
    bool busyBar = false, stayedOpen = false;
    Qt::WindowModality modality = Qt::NonModal;
    EachModal watch([&](QWidget* modal) {
        auto* bar = modal->findChild<QProgressBar*>();
        if (modal->objectName() != QStringLiteral("progressDialog") || bar == nullptr)
            return;
        title = modal->windowTitle();
        modality = modal->windowModality();
        action = modal->findChild<QLabel*>(QStringLiteral("progressAction"))->text();
        file = modal->findChild<QLabel*>(QStringLiteral("progressFile"))->text();
        buttons = static_cast<int>(modal->findChildren<QPushButton*>().size());
        busyBar = bar->maximum() == 0;
        clickStart();
        QTest::keyClick(modal, Qt::Key_Escape);
        modal->close();
        stayedOpen = modal->isVisible();
        busySeen = true;
        busySeen.notify_one();
        // The work now reports half of its bytes done.
        EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0 && bar->value() * 2 == bar->maximum(); }, 5000));
        valueShown = bar->maximum() > 0 ? bar->value() * 100 / bar->maximum() : -1;
        released = true;
        released.notify_one();
    });
    const LongStep step{"Подпись файла", "/home/user/report.pdf", std::uint64_t{1} << 30};
    desktop.runLongStep(step, [&](StepProgress& progress) {
        busySeen.wait(false);
        progress.setTotal(300);
        progress.setDone(150);
        released.wait(false);
    });

    EXPECT_EQ(title, QStringLiteral("Ordalis"));
    EXPECT_EQ(action, QStringLiteral("Подпись файла:"));
    EXPECT_EQ(file, QStringLiteral("/home/user/report.pdf"));
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(buttons, 0); // no cancel: the step runs to its end
    EXPECT_TRUE(busyBar);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(valueShown, 50);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ProgressDialogTest, ASmallStepRunsHereAndWithoutADialog)
{
    std::thread::id ranOn;
    QWidget* modal = &owner;
    desktop.runLongStep({"Подпись файла", "a.txt", 1000}, [&](StepProgress&) {
        ranOn = std::this_thread::get_id();
        modal = QApplication::activeModalWidget();
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(modal, nullptr);
}

TEST_F(ProgressDialogTest, WhatTheStepThrowsReachesTheCallerAndTheDialogCloses)
{
    EXPECT_THROW(desktop.runLongStep({"Шифрование файла", "a", std::uint64_t{1} << 30},
                                     [](StepProgress&) { throw std::range_error("x"); }),
                 std::range_error);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ProgressDialogTest, AKeyPasswordAskedDuringTheStepIsAskedInTheWindow)
{
    bool promptSeen = false;
    EachModal watch([&](QWidget* modal) {
        if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            promptSeen = true;
            input->setTextValue(QStringLiteral("пароль"));
            QMetaObject::invokeMethod(input, &QDialog::accept, Qt::QueuedConnection);
        }
    });
    std::optional<std::string> answer;
    desktop.runLongStep({"Расшифрование файла", "a.enc", std::uint64_t{1} << 30}, [&](StepProgress&) {
        PasswordPrompt* prompt = ScopedPasswordPrompt::current();
        ASSERT_NE(prompt, nullptr);
        answer = prompt->askPassword("ключ", 1);
    });
    EXPECT_TRUE(promptSeen);
    EXPECT_EQ(answer, std::optional<std::string>("пароль"));
}

// The report box of a verification, in memory.
class ReportOnly : public VerifyTab {
public:
    ReportOnly(std::string file, std::string signature) : m_file(std::move(file)), m_signature(std::move(signature)) {}
    std::string fileToVerify() const override { return m_file; }
    std::string signatureFile() const override { return m_signature; }
    void clearReport() override { lines.clear(); }
    void appendReportLine(const std::string& line) override { lines.push_back(line); }
    void resetSelection() override {}
    std::vector<std::string> lines;

private:
    std::string m_file, m_signature;
};

class SignOnly : public SignTab {
public:
    explicit SignOnly(std::string file) : m_file(std::move(file)) {}
    std::string fileToSign() const override { return m_file; }
    void clearFileToSign() override {}
    bool packChecked() const override { return false; }
    bool base64Checked() const override { return false; }
    bool attachedChecked() const override { return false; }
    void uncheckPack() override {}
    void uncheckBase64() override {}
    void uncheckAttached() override {}

private:
    std::string m_file;
};

TEST_F(ProgressDialogTest, ALargeVerificationShowsTheDialogAroundItsHeavyStepOnly)
{
    TestStore store;
    store.addStandardSet();
    const std::string file = store.path("large.bin");
    WriteFile(file, std::string(std::size_t{3} << 20, 'x'));
    FakeDesktop signer;
    signer.certificateAnswers.push_back(store.indexOf("gost2012_256"));
    SignOnly signTab(file);
    ASSERT_TRUE(SignOperation(signTab, signer).succeeded);

    std::vector<std::string> seen;
    EachModal watch([&](QWidget* modal) {
        seen.push_back(modal->objectName().toStdString());
        if (modal->objectName() != QStringLiteral("progressDialog"))
            QTest::keyClick(modal, Qt::Key_Escape); // the signer's certificate
    });
    desktop.setProgressThreshold(std::uint64_t{1} << 20);
    ReportOnly report(file, file + ".sig");
    VerifyOperation(report, desktop);

    ASSERT_GE(report.lines.size(), 2u);
    EXPECT_EQ(report.lines[1], "V - Подпись математически верна...");
    // The dialog came and went before the certificate was shown.
    EXPECT_EQ(seen, (std::vector<std::string>{"progressDialog", "CertificateViewDialog"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace ordalis::test
