// The certificate selection and view dialogs over a real store.

#include "app/QtDesktop.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "tests/support/TestStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace ordalis::test {
namespace {

// Calls act on each modal window that comes to the top, from inside its loop,
// until act returns true. act must not open a dialog itself (this timer does
// not fire again while act runs): it queues such clicks with Queued().
// A dialog still open after ten seconds is closed, so a test fails, not hangs.
class OnModals {
public:
    explicit OnModals(std::function<bool(QWidget*)> act) : m_act(std::move(act))
    {
        m_watchdog.start();
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && m_watchdog.hasExpired(10000)) {
                ADD_FAILURE() << "a dialog was left open: " << modal->windowTitle().toStdString();
                modal->close();
                return;
            }
            if (modal == nullptr || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            if (m_act(modal))
                m_poll.stop();
        });
        m_poll.start();
    }

private:
    std::function<bool(QWidget*)> m_act;
    QTimer m_poll;
    QElapsedTimer m_watchdog;
    QWidget* m_last = nullptr;
};

// Clicks once the current timer callback has returned.
void Queued(QPushButton* button) { QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection); }

QStringList Column(QTreeWidget* list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts.append(list->topLevelItem(row)->text(column));
    return texts;
}

QString Field(QTreeWidget* fields, const QString& name)
{
    for (int row = 0; row < fields->topLevelItemCount(); ++row)
        if (fields->topLevelItem(row)->text(0) == name)
            return fields->topLevelItem(row)->data(1, Qt::UserRole).toString();
    return QStringLiteral("<none>");
}

class CertificateDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.add("Алиса", KeyAlgorithm::Gost2012_256);
        TestCertificateOptions noKey;
        noKey.withKey = false;
        store.add("Борис", KeyAlgorithm::Gost2012_512, noKey);
        owner.show();
        desktop.setOwner(&owner);
    }

    TestStore store;
    QWidget owner;
    QtDesktop desktop{QStringLiteral("ordalis")};
};

TEST_F(CertificateDialogs, SelectionListsTheStoreAndReturnsTheChosenCertificate)
{
    CertStorePtr handle = store.open();
    const int boris = store.indexOf("Борис");
    QStringList issuedTo, keyAlgorithms;
    std::vector<bool> keyMarks;
    QString title;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* parent = nullptr;
    OnModals watch([&](QWidget* modal) {
        auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("certificateList"));
        EXPECT_NE(list, nullptr);
        if (list == nullptr)
            return true;
        title = modal->windowTitle();
        modality = modal->windowModality();
        parent = modal->parentWidget();
        issuedTo = Column(list, 0);
        keyAlgorithms = Column(list, 3);
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            keyMarks.push_back(!list->topLevelItem(row)->icon(0).isNull());
        list->setCurrentItem(list->topLevelItem(boris));
        Queued(modal->findChild<QPushButton*>(QStringLiteral("okButton")));
        return true;
    });
    CertContextPtr chosen(desktop.selectCertificate(handle.get(), "Выберите сертификат для подписи"));

    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(DescribeCertificate(chosen.get()).sha1Thumbprint, store.get("Борис").thumbprint);
    EXPECT_EQ(title, QStringLiteral("Выберите сертификат для подписи"));
    // Modal for the whole application, above the main window: no second
    // operation can start while the first one waits for the answer.
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(parent, &owner);
    ASSERT_EQ(issuedTo.size(), 2);
    EXPECT_TRUE(issuedTo.contains(QStringLiteral("Алиса")));
    EXPECT_TRUE(issuedTo.contains(QStringLiteral("Борис")));
    EXPECT_EQ(keyAlgorithms.at(boris), QStringLiteral("ГОСТ Р 34.10-2012 512 бит"));
    ASSERT_EQ(keyMarks.size(), 2u);
    EXPECT_EQ(keyMarks.at(static_cast<std::size_t>(store.indexOf("Алиса"))), true);
    EXPECT_EQ(keyMarks.at(static_cast<std::size_t>(boris)), false);
}

TEST_F(CertificateDialogs, SelectionBlocksTheMainWindowAndCancelReturnsNothing)
{
    auto* start = new QPushButton(QStringLiteral("Подписать"), &owner);
    start->show();
    int clicks = 0;
    QObject::connect(start, &QPushButton::clicked, [&] { ++clicks; });
    // Through the window system, as a user's click comes.
    auto clickStart = [&] {
        QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, start->mapTo(&owner, start->rect().center()));
    };
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    clickStart();
    ASSERT_EQ(clicks, 1) << "the click does not reach the button even without a dialog";

    CertStorePtr handle = store.open();
    OnModals watch([&](QWidget* modal) {
        clickStart();
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(desktop.selectCertificate(handle.get(), "Выбор"), nullptr);
    EXPECT_EQ(clicks, 1);
}

TEST_F(CertificateDialogs, ViewFromTheSelectionShowsEveryFieldAboveIt)
{
    CertStorePtr handle = store.open();
    const TestCertificate& alice = store.get("Алиса");
    QWidget* selection = nullptr;
    QWidget* viewParent = nullptr;
    QStringList tabs;
    QString serial, thumbprint, subject;
    bool keyLine = false;
    OnModals watch([&](QWidget* modal) {
        if (selection == nullptr) { // the list: view Alice's certificate
            selection = modal;
            auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("certificateList"));
            list->setCurrentItem(list->topLevelItem(store.indexOf("Алиса")));
            Queued(modal->findChild<QPushButton*>(QStringLiteral("viewButton")));
            return false;
        }
        if (viewParent == nullptr) { // the view, opened from the list
            viewParent = modal->parentWidget();
            auto* pages = modal->findChild<QTabWidget*>();
            for (int i = 0; pages != nullptr && i < pages->count(); ++i)
                tabs.append(pages->tabText(i));
            auto* fields = modal->findChild<QTreeWidget*>(QStringLiteral("detailFields"));
            serial = Field(fields, QStringLiteral("Серийный номер"));
            thumbprint = Field(fields, QStringLiteral("Отпечаток (SHA-1)"));
            subject = Field(fields, QStringLiteral("Субъект"));
            for (QLabel* label : modal->findChildren<QLabel*>())
                keyLine = keyLine || label->text().startsWith(QStringLiteral("Есть закрытый ключ"));
            QTest::keyClick(modal, Qt::Key_Escape);
            return false;
        }
        QTest::keyClick(modal, Qt::Key_Escape); // back at the list
        return true;
    });
    EXPECT_EQ(desktop.selectCertificate(handle.get(), "Выбор"), nullptr);

    EXPECT_EQ(viewParent, selection);
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("Общие"), QStringLiteral("Состав")}));
    EXPECT_EQ(serial.toStdString(), alice.serialHex);
    EXPECT_EQ(thumbprint.toStdString(), alice.thumbprint);
    EXPECT_TRUE(subject.contains(QStringLiteral("Алиса"))) << subject.toStdString();
    EXPECT_TRUE(keyLine);
}

} // namespace
} // namespace ordalis::test
