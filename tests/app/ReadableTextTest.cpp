// Every caption of the window can be read whole in the platform's font, and a
// long file name is shortened in its middle with the whole of it at hand.

#include "app/PathLabel.h"
#include "tests/app/WindowFixture.h"

#include <QTest>

#include <QStyle>
#include <QStyleOptionButton>

namespace ordalis::test {
namespace {

// The room a button's style leaves for its caption, less a pixel on either side.
int CaptionRoom(QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.rect = button->rect();
    option.text = button->text();
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width() - 2;
}

int CheckBoxRoom(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    option.rect = box->rect();
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width() - 2;
}

class ReadableText : public WindowTest {};

TEST_F(ReadableText, EveryCaptionFitsItsDesignedBox)
{
    const QList<QPushButton*> buttons = form.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 10);
    for (QPushButton* button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), CaptionRoom(button))
            << button->text().toStdString() << " in " << button->width() << " px";
    }
    const QList<QCheckBox*> boxes = form.findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 4);
    for (QCheckBox* box : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), CheckBoxRoom(box)) << box->text().toStdString();
    }
}

TEST_F(ReadableText, ALongPathIsShortenedInTheMiddleAndWholeInTheTooltip)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    std::string folder = dir.path();
    for (int i = 0; i < 6; ++i) {
        folder += "/папка-с-длинным-именем-" + std::to_string(i);
        std::filesystem::create_directory(folder);
    }
    const std::string path = folder + "/квартальный отчёт.pdf";
    WriteFile(path, "x");
    choose("Button2", path);

    auto* label = control<PathLabel>("Label2");
    const QString whole = QString::fromStdString(path);
    const QString shown = label->shownText();
    EXPECT_EQ(label->text(), whole);
    EXPECT_EQ(label->toolTip(), whole);
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(dir.path().substr(0, 4)))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("квартальный отчёт.pdf"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    // What is painted ends inside the tab.
    const int right = label->x() + label->fontMetrics().horizontalAdvance(shown);
    EXPECT_LE(right, label->parentWidget()->width());

    const std::string shortPath = dir.file("a.pdf");
    WriteFile(shortPath, "x");
    choose("Button2", shortPath);
    EXPECT_EQ(label->shownText().toStdString(), shortPath);
    EXPECT_EQ(label->toolTip().toStdString(), shortPath);
}

} // namespace
} // namespace ordalis::test
