// The certificate selection and view dialogs over a real store.

#include "app/QtDesktop.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "tests/app/OnModals.h"
#include "tests/support/TestStore.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace ordalis::test {
namespace {

// A column found by its title, so the checks do not depend on the columns' order.
int ColumnTitled(QTreeWidget* list, const QString& title)
{
    for (int column = 0; column < list->columnCount(); ++column)
        if (list->headerItem()->text(column) == title)
            return column;
    ADD_FAILURE() << "no column " << title.toStdString();
    return 0;
}

QTreeWidgetItem* RowOf(QTreeWidget* list, const QString& issuedTo)
{
    const int column = ColumnTitled(list, QStringLiteral("Кому выдан"));
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->text(column) == issuedTo)
            return list->topLevelItem(row);
    ADD_FAILURE() << "no row " << issuedTo.toStdString();
    return list->topLevelItem(0);
}

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
    QStringList issuedTo;
    QString borisAlgorithm;
    bool aliceMarked = false, borisMarked = true;
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
        issuedTo = Column(list, ColumnTitled(list, QStringLiteral("Кому выдан")));
        const int key = ColumnTitled(list, QStringLiteral("Ключ"));
        const int algorithm = ColumnTitled(list, QStringLiteral("Алгоритм ключа"));
        borisAlgorithm = RowOf(list, QStringLiteral("Борис"))->text(algorithm);
        aliceMarked = !RowOf(list, QStringLiteral("Алиса"))->icon(key).isNull();
        borisMarked = !RowOf(list, QStringLiteral("Борис"))->icon(key).isNull();
        list->setCurrentItem(RowOf(list, QStringLiteral("Борис")));
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
    EXPECT_EQ(issuedTo, (QStringList{QStringLiteral("Алиса"), QStringLiteral("Борис")}));
    EXPECT_EQ(borisAlgorithm, QStringLiteral("ГОСТ Р 34.10-2012 512 бит"));
    EXPECT_TRUE(aliceMarked);
    EXPECT_FALSE(borisMarked);
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
            list->setCurrentItem(RowOf(list, QStringLiteral("Алиса")));
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
    EXPECT_EQ(tabs,
              (QStringList{QStringLiteral("Общие"), QStringLiteral("Состав"), QStringLiteral("Путь сертификации")}));
    EXPECT_EQ(serial.toStdString(), alice.serialHex);
    EXPECT_EQ(thumbprint.toStdString(), alice.thumbprint);
    EXPECT_TRUE(subject.contains(QStringLiteral("Алиса"))) << subject.toStdString();
    EXPECT_TRUE(keyLine);
}

// Look-alikes, an expired and a future certificate, and one without a key.
class ChoosingCertificates : public CertificateDialogs {
protected:
    void SetUp() override
    {
        CertificateDialogs::SetUp();
        TestCertificateOptions romashka, lyutik;
        romashka.subject = "CN=Иванов Иван,O=Ромашка";
        lyutik.subject = "CN=Иванов Иван,O=Лютик";
        store.add("ivanov romashka", KeyAlgorithm::Gost2012_256, romashka);
        store.add("ivanov lyutik", KeyAlgorithm::Gost2012_256, lyutik);
        store.addExpired("Старый");
        TestCertificateOptions future;
        future.subject = "CN=Будущий";
        future.notBeforeOffsetSeconds = 86400;
        store.add("future", KeyAlgorithm::Gost2012_256, future);
    }

    // Runs the dialog, calling act inside it; returns the chosen certificate's thumbprint or "".
    std::string choose(bool signing, std::function<void(QWidget*, QTreeWidget*)> act)
    {
        CertStorePtr handle = store.open();
        OnModals watch([&](QWidget* modal) {
            if (modal->objectName() != QStringLiteral("CertificateSelectDialog"))
                return false;
            act(modal, modal->findChild<QTreeWidget*>(QStringLiteral("certificateList")));
            if (modal->isVisible())
                QMetaObject::invokeMethod(modal, &QWidget::close, Qt::QueuedConnection);
            return true;
        });
        CertContextPtr chosen(signing ? desktop.selectSigningCertificate(handle.get(), "Подпись")
                                      : desktop.selectCertificate(handle.get(), "Шифрование"));
        return chosen ? DescribeCertificate(chosen.get()).sha1Thumbprint : std::string();
    }
};

TEST_F(ChoosingCertificates, LookAlikesDifferByOrganisationAndTheSelectedRowShowsItsIdentity)
{
    QStringList issuedTo, organisations, legend;
    QString details, expired, future;
    choose(false, [&](QWidget* modal, QTreeWidget* list) {
        issuedTo = Column(list, ColumnTitled(list, QStringLiteral("Кому выдан")));
        organisations = Column(list, ColumnTitled(list, QStringLiteral("Организация")));
        const int validTo = ColumnTitled(list, QStringLiteral("Действителен по"));
        expired = RowOf(list, QStringLiteral("Старый"))->text(validTo);
        future = RowOf(list, QStringLiteral("Будущий"))->text(validTo);
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            if (list->topLevelItem(row)->text(1) == QStringLiteral("Ромашка"))
                list->setCurrentItem(list->topLevelItem(row));
        details = modal->findChild<QLabel*>(QStringLiteral("certificateDetails"))->text();
        legend.append(modal->findChild<QLabel*>(QStringLiteral("keyLegend"))->text());
    });
    // Sorted by name, look-alikes by organisation.
    EXPECT_EQ(issuedTo, (QStringList{"Алиса", "Борис", "Будущий", "Иванов Иван", "Иванов Иван", "Старый"}));
    EXPECT_EQ(organisations.mid(3, 2), (QStringList{"Лютик", "Ромашка"}));
    const TestCertificate& romashka = store.get("ivanov romashka");
    EXPECT_TRUE(details.contains(QStringLiteral("CN=Иванов Иван, O=Ромашка"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QString::fromStdString(romashka.serialHex))) << details.toStdString();
    EXPECT_TRUE(details.contains(QString::fromStdString(romashka.thumbprint))) << details.toStdString();
    EXPECT_TRUE(expired.endsWith(QStringLiteral("(истёк)"))) << expired.toStdString();
    EXPECT_TRUE(future.endsWith(QStringLiteral("(ещё не действует)"))) << future.toStdString();
    EXPECT_FALSE(legend.value(0).isEmpty());
}

TEST_F(ChoosingCertificates, ForSigningACertificateWithoutKeyIsShownButRefused)
{
    bool okEnabled = true, stillOpen = false;
    QString reason;
    const std::string chosen = choose(true, [&](QWidget* modal, QTreeWidget* list) {
        list->setCurrentItem(RowOf(list, QStringLiteral("Борис")));
        okEnabled = modal->findChild<QPushButton*>(QStringLiteral("okButton"))->isEnabled();
        reason = modal->findChild<QLabel*>(QStringLiteral("refusalReason"))->text();
        QTest::keyClick(list, Qt::Key_Return);
        emit list->itemDoubleClicked(list->currentItem(), 0);
        stillOpen = modal->isVisible();
        list->setCurrentItem(RowOf(list, QStringLiteral("Алиса")));
        EXPECT_TRUE(modal->findChild<QLabel*>(QStringLiteral("refusalReason"))->text().isEmpty());
        Queued(modal->findChild<QPushButton*>(QStringLiteral("okButton")));
    });
    EXPECT_FALSE(okEnabled);
    EXPECT_TRUE(reason.contains(QStringLiteral("закрытого ключа"))) << reason.toStdString();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(chosen, store.get("Алиса").thumbprint);

    // For encryption the same certificate is a fine recipient.
    const std::string recipient = choose(false, [&](QWidget* modal, QTreeWidget* list) {
        list->setCurrentItem(RowOf(list, QStringLiteral("Борис")));
        Queued(modal->findChild<QPushButton*>(QStringLiteral("okButton")));
    });
    EXPECT_EQ(recipient, store.get("Борис").thumbprint);
}

TEST_F(ChoosingCertificates, TypingANameFindsItsRow)
{
    QString found;
    choose(false, [&](QWidget*, QTreeWidget* list) {
        list->setFocus();
        for (const QChar letter : QStringLiteral("Бу")) { // QTest types ASCII only
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
            QApplication::sendEvent(list, &press);
        }
        found = list->currentItem()->text(ColumnTitled(list, QStringLiteral("Кому выдан")));
    });
    EXPECT_EQ(found, QStringLiteral("Будущий"));
}

TEST_F(ChoosingCertificates, AfterTheViewerEnterTakesTheCertificate)
{
    CertStorePtr handle = store.open();
    QWidget* selection = nullptr;
    QString focusBeforeView, focusAfterView;
    OnModals watch([&](QWidget* modal) {
        if (selection == nullptr) {
            selection = modal;
            auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("certificateList"));
            list->setCurrentItem(RowOf(list, QStringLiteral("Алиса")));
            auto* view = modal->findChild<QPushButton*>(QStringLiteral("viewButton"));
            view->setFocus();
            focusBeforeView = selection->focusWidget() != nullptr ? selection->focusWidget()->objectName() : QString();
            // Space on the focused button, as a user presses it.
            QMetaObject::invokeMethod(
                view, [view] { QTest::keyClick(view, Qt::Key_Space); }, Qt::QueuedConnection);
            return false;
        }
        if (modal != selection) { // the viewer
            QTest::keyClick(modal, Qt::Key_Escape);
            return false;
        }
        focusAfterView = selection->focusWidget() != nullptr ? selection->focusWidget()->objectName() : QString();
        // Enter on anything else would open the viewer again from inside this check.
        QTest::keyClick(selection->focusWidget(),
                        focusAfterView == QStringLiteral("okButton") ? Qt::Key_Return : Qt::Key_Escape);
        return true;
    });
    CertContextPtr chosen(desktop.selectSigningCertificate(handle.get(), "Подпись"));
    EXPECT_EQ(focusBeforeView, QStringLiteral("viewButton"));
    EXPECT_EQ(focusAfterView, QStringLiteral("okButton"));
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(DescribeCertificate(chosen.get()).sha1Thumbprint, store.get("Алиса").thumbprint);
}

} // namespace
} // namespace ordalis::test
