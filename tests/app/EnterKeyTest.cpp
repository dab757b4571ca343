// Enter and Return press the focused button of the main window, as Space does.

#include "tests/app/WindowFixture.h"

#include <QTest>

namespace ordalis::test {
namespace {

class EnterKey : public WindowTest {};

TEST_F(EnterKey, ReturnAndKeypadEnterPressTheFocusedButton)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key);
        desktop.fileRequests.clear();
        QTest::keyClick(button("Button2"), key);
        QTest::keyClick(button("Button4"), key);
        ASSERT_EQ(desktop.fileRequests.size(), 2u);
        EXPECT_EQ(desktop.fileRequests[0].dialogName, "OpenDialog2");
        EXPECT_EQ(desktop.fileRequests[1].dialogName, "OpenDialog1");
    }
}

TEST_F(EnterKey, EnterOnTheSignButtonStartsSigning)
{
    const std::string file = dir.file("a.txt");
    WriteFile(file, "a");
    choose("Button2", file);
    QTest::keyClick(button("Button1"), Qt::Key_Return);
    // No certificate answer: the dialog is cancelled and the tab is reset.
    EXPECT_EQ(desktop.certificateTitles, std::vector<std::string>{"Укажите сертификат для подписи"});
    EXPECT_FALSE(button("Button1")->isEnabled());
}

} // namespace
} // namespace ordalis::test
