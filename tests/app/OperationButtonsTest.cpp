// The operation buttons run their operation under the busy cursor, and
// whatever the operation does, the window stays usable afterwards.

#include "tests/app/WindowFixture.h"

namespace ordalis::test {
namespace {

class BusyRecordingDesktop : public FakeDesktop {
public:
    void setBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
};

class OperationButtons : public ::testing::Test {
protected:
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(QString::fromLatin1(name)); }
    void choose(const char* name, const std::string& path)
    {
        desktop.fileAnswers.push_back(path);
        button(name)->click();
    }

    TempDir dir;
    BusyRecordingDesktop desktop;
    TForm1 form{desktop};
};

TEST_F(OperationButtons, EachOperationRunsUnderTheBusyCursorAndTheErrorBoxComesAfter)
{
    const std::string file = dir.file("data.txt");
    WriteFile(file, "data");
    WriteFile(file + ".sig", "not a signature");
    WriteFile(file + ".enc", "not a message");
    choose("Button2", file);
    choose("Button4", file);
    choose("Button5", file + ".sig");
    choose("Button6", file);
    choose("Button8", file + ".enc");

    for (const char* name : {"Button1", "Button3", "Button7", "Button9"}) {
        QPushButton* operation = button(name);
        ASSERT_TRUE(operation->isEnabled()) << name;
        desktop.calls.clear();
        operation->click(); // must return: nothing escapes into the event loop
        ASSERT_FALSE(desktop.calls.empty()) << name;
        EXPECT_EQ(desktop.calls.front(), "busy") << name;
        const auto idle = std::find(desktop.calls.begin(), desktop.calls.end(), "idle");
        ASSERT_NE(idle, desktop.calls.end()) << name;
        EXPECT_EQ(std::count(desktop.calls.begin(), desktop.calls.end(), "busy"), 1) << name;
        // An escaping error is shown once the operation is over.
        for (auto call = desktop.calls.begin(); call != idle; ++call)
            EXPECT_NE(call->rfind("error: ", 0), 0u) << name << ": " << *call;
    }
}

} // namespace
} // namespace ordalis::test
