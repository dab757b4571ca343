// The Qt dialogs of the desktop seam, inspected and answered from inside their
// own modal loops.

#include "app/QtDesktop.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace ordalis::test {
namespace {

// Calls act once on the first modal window shown after its creation.
class OnModal {
public:
    explicit OnModal(std::function<void(QWidget*)> act) : m_act(std::move(act))
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible())
                return;
            m_poll.stop();
            m_act(modal);
            if (modal->isVisible()) // the check failed before answering: do not hang
                modal->close();
        });
        m_poll.start();
    }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_poll;
};

class QtDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.show();
        desktop.setOwner(&owner);
    }

    QWidget owner;
    QtDesktop desktop{QStringLiteral("ordalis")};
};

struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    Qt::TextFormat format = Qt::AutoText;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* parent = nullptr;
    QPoint centreOffset;
};

BoxSeen Inspect(QWidget* modal, Qt::Key answer)
{
    BoxSeen seen;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
        ADD_FAILURE() << "no message box";
        return seen;
    }
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons())
        seen.buttons.append(b->text());
    seen.format = box->textFormat();
    seen.modality = box->windowModality();
    seen.parent = box->parentWidget();
    seen.centreOffset = box->geometry().center() - box->screen()->availableGeometry().center();
    QTest::keyClick(box, answer);
    return seen;
}

TEST_F(QtDesktopTest, NoticeHasNoIconOneOkForEnterAndEscAndSitsMidScreen)
{
    for (const Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
        BoxSeen seen;
        OnModal watch([&](QWidget* modal) { seen = Inspect(modal, answer); });
        desktop.showNotice("Создан архив: <b>a.7z</b>", NoticeKind::Info);
        EXPECT_EQ(seen.title, QStringLiteral("ordalis"));
        EXPECT_EQ(seen.text, QStringLiteral("Создан архив: <b>a.7z</b>"));
        EXPECT_EQ(seen.format, Qt::PlainText); // a name is never taken for markup
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});
        EXPECT_EQ(seen.modality, Qt::ApplicationModal);
        EXPECT_EQ(seen.parent, &owner);
        EXPECT_LE(seen.centreOffset.manhattanLength(), 2);
    }
}

TEST_F(QtDesktopTest, AShortNoticeIsWideEnoughForItsCaption)
{
    const QString title = QStringLiteral("Ордалис-с-очень-длинным-названием");
    QtDesktop longTitled(title);
    longTitled.setOwner(&owner);
    int width = 0;
    OnModal watch([&](QWidget* modal) {
        width = modal->width();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    longTitled.showNotice("Расшифрован", NoticeKind::Info);
    QFont bold = owner.font();
    bold.setBold(true);
    // The caption in a bold title font, and three title-bar buttons of 32 pixels.
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(title) + 3 * 32);
}

TEST_F(QtDesktopTest, ErrorBoxHasTheStopIcon)
{
    BoxSeen seen;
    OnModal watch([&](QWidget* modal) { seen = Inspect(modal, Qt::Key_Return); });
    desktop.showError("File not found.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.title, QStringLiteral("ordalis"));
    EXPECT_EQ(seen.text, QStringLiteral("File not found."));
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});
}

TEST_F(QtDesktopTest, OpenFileDialogShowsTheFilterAndLastNameAndTakesANewName)
{
    TempDir dir;
    const std::string last = dir.file("old.sig");
    WriteFile(last, "x");
    const std::string typed = dir.file("not-yet-there.p7s");

    QStringList filters;
    QString selectedFilter;
    QStringList preset;
    OnModal watch([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        preset = dialog->selectedFiles();
        dialog->selectFile(QString::fromStdString(typed));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = desktop.chooseOpenFile({"OpenDialog3", "Signature|*.sig|PKCS7|*.p7s", last});
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Signature (*.sig)"), QStringLiteral("PKCS7 (*.p7s)")}));
    EXPECT_EQ(selectedFilter, QStringLiteral("Signature (*.sig)"));
    EXPECT_EQ(preset, QStringList{QString::fromStdString(last)});
    EXPECT_EQ(chosen, typed);

    OnModal cancel([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(desktop.chooseOpenFile({"OpenDialog2", "", last}), std::nullopt);
}

TEST_F(QtDesktopTest, PasswordPromptHidesTheTextAndSaysWhenTheLastWasWrong)
{
    for (const int attempt : {1, 2}) {
        QString label;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        OnModal watch([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            label = dialog->labelText();
            echo = dialog->textEchoMode();
            auto* field = dialog->findChild<QLineEdit*>();
            ASSERT_NE(field, nullptr);
            field->insert(QStringLiteral("пароль 1")); // QTest types ASCII only
            QTest::keyClick(field, Qt::Key_Return);
        });
        EXPECT_EQ(desktop.askPassword("CN=Иванов", attempt), std::optional<std::string>("пароль 1"));
        EXPECT_EQ(echo, QLineEdit::Password);
        EXPECT_TRUE(label.contains(QStringLiteral("CN=Иванов"))) << label.toStdString();
        EXPECT_EQ(label.startsWith(QStringLiteral("Неверный пароль.")), attempt > 1) << label.toStdString();
    }
    OnModal cancel([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(desktop.askPassword("CN=Иванов", 1), std::nullopt);
}

TEST_F(QtDesktopTest, BusyCursorGivesWayToTheArrowWhileADialogWaits)
{
    desktop.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Qt::CursorShape duringNotice = Qt::WaitCursor;
    OnModal watch([&](QWidget* modal) {
        duringNotice = QApplication::overrideCursor()->shape();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    desktop.showNotice("Подписанное сообщение создано", NoticeKind::Info);
    EXPECT_EQ(duringNotice, Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace ordalis::test
