// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include "shell/open_external_page.h"
#include "tests/app/app_fixture.h"

namespace brisko::test {
namespace {

using MainWindowTest = AppFixture;

// Return presses the focused push button, and the default button from anywhere else:
// the dial-up box is not ticked by it.
TEST_F(MainWindowTest, ReturnPressesTheFocusedPushButtonElseTheDefaultOne) {
    std::vector<std::string> pressed;
    auto note = [&pressed](const char* name) { return [&pressed, name] { pressed.push_back(name); }; };
    auto launch = [&pressed](const char* name) { return [&pressed, name] { pressed.push_back(name); return true; }; };
    handlers = {note("btnBoost"), note("btnProBoost"), note("btnRestore"), launch("Command1"), launch("btnfire")};
    brisko::main* w = Main();
    w->EnableBoostControls();
    const struct {
        const char* focus;
        Qt::Key key;
        const char* presses;
    } cases[] = {
        {"Check1", Qt::Key_Return, "Command1"}, {"Check1", Qt::Key_Enter, "Command1"},
        {"btnfire", Qt::Key_Return, "btnfire"}, {"btnBoost", Qt::Key_Enter, "btnBoost"},
        {"Command1", Qt::Key_Return, "Command1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.focus);
        pressed.clear();
        QWidget* focus = Child(w, c.focus);
        focus->setFocus();
        ASSERT_EQ(w->focusWidget(), focus);
        QTest::keyClick(focus, c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(pressed, std::vector<std::string>{c.presses});
    }
    EXPECT_EQ(w->Check1Value(), 0);
}

// Every web link, in the menu or on Help, opens a browser window of its own, and a
// failure to open one is told while the program goes on. About's tip is the menu's, not a
// second copy. Closing main leaves the other windows open; Exit unloads them all and ends.
TEST_F(MainWindowTest, LinksOpenABrowserEachAndExitUnloadsEveryWindow) {
    brisko::main* w = Main();
    Trigger(w, "mnuQuick");
    QWidget* help = windows.Find("Help");
    ASSERT_NE(help, nullptr);
    auto* live = Child<QPushButton>(help, "btnLiveHelp");
    live->click();
    live->click();
    Trigger(w, "mnuLive");
    Trigger(w, "mnuNorvane");
    EXPECT_EQ(browser.windowsCreated, 4);
    EXPECT_EQ(browser.shownPages, (std::vector<std::string>{kProductSiteAddress, kProductSiteAddress,
                                                            kProductSiteAddress, kMakerSiteAddress}));
    Child<QPushButton>(help, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Help"));
    browser.failCreate = true;
    Trigger(w, "mnuLive");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Invalid class string"});
    EXPECT_EQ(messages.shown[0].title, "Brisko");

    Trigger(w, "mnuTip");
    QWidget* tip = windows.Find("toptip");
    w->close();
    EXPECT_FALSE(windows.IsLoaded("main"));
    EXPECT_TRUE(windows.IsLoaded("toptip"));
    EXPECT_EQ(endedWith, -1);
    Trigger(Main(), "mnuFull");
    QWidget* about = windows.Find("Formserial");
    Child<QPushButton>(about, "btnTopTip")->click();
    EXPECT_EQ(windows.Find("toptip"), tip);
    Child<QPushButton>(about, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Formserial"));
    for (const char* item : {"mnuQuick", "mnuFull"}) Trigger(Main(), item);
    Trigger(Main(), "mnuExit");
    for (const char* name : {"main", "Help", "toptip", "Formserial"}) EXPECT_FALSE(windows.IsLoaded(name)) << name;
    EXPECT_EQ(endedWith, 0);
}

}  // namespace
}  // namespace brisko::test
