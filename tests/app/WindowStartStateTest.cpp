#include "tests/app/WindowFixture.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

namespace ordalis::test {
namespace {

using StartStateTest = WindowTest;

TEST_F(StartStateTest, FirstTabIsActiveWithItsCaptionsInOrder)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Ордалис 1.7 от 12.12.2018"));
    auto* pages = control<QTabWidget>("PageControl1");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->currentIndex(), 0);
    const QStringList captions = {QStringLiteral("Подпись"), QStringLiteral("Верификация"),
                                  QStringLiteral("Шифрование"), QStringLiteral("DECRYPT")};
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), captions.at(i));
        EXPECT_EQ(pages->widget(i)->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
    }
}

TEST_F(StartStateTest, ButtonsAndBoxesHaveTheirCaptionsAndStates)
{
    struct Expected {
        const char* name;
        const char* caption;
        bool enabled;
    };
    const Expected buttons[] = {
        {"Button1", "Подписать", false},   {"Button2", "Открыть файл для подписания", true},
        {"Button3", "Проверить", false},   {"Button4", "Исходный файл", true},
        {"Button5", "Файл подписи", true}, {"Button6", "Открыть файл", true},
        {"Button7", "Зашифровать", false}, {"Button8", "Открыть файл", true},
        {"Button9", "DECRYPT", false},     {"Button11", "Выбрать Сертификат", false},
    };
    for (const auto& expected : buttons) {
        QPushButton* b = button(expected.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text().toStdString(), expected.caption) << expected.name;
        EXPECT_EQ(b->isEnabled(), expected.enabled) << expected.name;
    }
    const Expected boxes[] = {{"CheckBox1", "Упаковать файлы 7zip", true},
                              {"CheckBox2", "BASE64", true},
                              {"CheckBox3", "Прикрепленная", true},
                              {"CheckBox4", "Выбрать сертификат из файла", true}};
    for (const auto& expected : boxes) {
        QCheckBox* box = checkBox(expected.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text().toStdString(), expected.caption) << expected.name;
        EXPECT_TRUE(box->isEnabled()) << expected.name;
        EXPECT_FALSE(box->isChecked()) << expected.name;
    }
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"})
        EXPECT_EQ(labelText(name), "") << name;
}

TEST_F(StartStateTest, MemoShowsItsNameReadOnlyWithVerticalScrollBar)
{
    auto* memo = control<QPlainTextEdit>("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("Memo1"));
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // Label3 lies under Memo1, which hides it: it must be stacked beneath.
    const QObjectList& siblings = memo->parentWidget()->children();
    EXPECT_LT(siblings.indexOf(control<QLabel>("Label3")), siblings.indexOf(memo));
}

TEST_F(StartStateTest, ControlsSitAtTheirDesignedPlaces)
{
    EXPECT_EQ(control<QWidget>("PageControl1")->geometry(), QRect(8, 16, 593, 281));
    EXPECT_EQ(control<QWidget>("Button2")->geometry(), QRect(16, 56, 217, 25));
    EXPECT_EQ(control<QWidget>("CheckBox3")->geometry(), QRect(112, 104, 129, 17));
    EXPECT_EQ(control<QWidget>("Memo1")->geometry(), QRect(32, 112, 561, 137));
    EXPECT_EQ(control<QWidget>("Button3")->geometry(), QRect(512, 24, 75, 25));
    EXPECT_EQ(control<QWidget>("Button11")->geometry(), QRect(0, 8, 121, 25));
    EXPECT_EQ(control<QWidget>("CheckBox4")->geometry(), QRect(120, 32, 289, 17));
    EXPECT_EQ(control<QWidget>("Button9")->geometry(), QRect(128, 64, 75, 25));
    EXPECT_EQ(control<QWidget>("Label5")->pos(), QPoint(64, 128));
    EXPECT_EQ(control<QWidget>("Label6")->pos(), QPoint(128, 16));
}

TEST_F(StartStateTest, ShownWindowHasTheDesignedOuterBoundsAndIcon)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // The frame is taken off the client area once it is known.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry() == QRect(192, 124, 625, 343); }))
        << "frame geometry " << form.frameGeometry().x() << "," << form.frameGeometry().y() << " "
        << form.frameGeometry().width() << "x" << form.frameGeometry().height();
    // The icon is a resource of a static library: it must have been linked in.
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(64, 64)));
}

TEST_F(StartStateTest, TabKeyFollowsTheDesignedOrderOnEachSheet)
{
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    auto focusSequence = [&](const char* first, int presses) {
        QWidget* start = control<QWidget>(first);
        start->setFocus(Qt::TabFocusReason);
        std::vector<std::string> names{QApplication::focusWidget()->objectName().toStdString()};
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names.push_back(QApplication::focusWidget()->objectName().toStdString());
        }
        return names;
    };

    // Disabled buttons are passed over.
    using Names = std::vector<std::string>;
    EXPECT_EQ(focusSequence("Button2", 3), (Names{"Button2", "CheckBox1", "CheckBox2", "CheckBox3"}));
    control<QTabWidget>("PageControl1")->setCurrentIndex(1);
    EXPECT_EQ(focusSequence("Memo1", 2), (Names{"Memo1", "Button4", "Button5"}));
    control<QTabWidget>("PageControl1")->setCurrentIndex(2);
    checkBox("CheckBox4")->setChecked(true);
    EXPECT_EQ(focusSequence("Button6", 2), (Names{"Button6", "CheckBox4", "Button11"}));
}

} // namespace
} // namespace ordalis::test
