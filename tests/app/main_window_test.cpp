#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "shell/open_external_page.h"
#include "tests/app/app_fixture.h"

namespace brisko::test {
namespace {

using MainWindowTest = AppFixture;

const char* const kLockedUntilLaunch[] = {"btnProBoost", "Frame1",  "Frame4",  "Check1",  "Frame9",
                                          "btnRestore",  "btnBoost", "Label12", "Label3",  "Label23",
                                          "Label24",     "Label19",  "Label20"};

TEST_F(MainWindowTest, StartsWithOnlyTheLaunchControlsUsable) {
    brisko::main* w = Main();
    EXPECT_EQ(w->windowTitle(), "Brisko");
    EXPECT_EQ(w->centralWidget()->size(), QSize(426, 499));
    for (const char* name : kLockedUntilLaunch) EXPECT_FALSE(Child(w, name)->isEnabled()) << name;
    for (const char* name : {"Frame3", "Command1", "btnfire", "Label17", "Label18", "Label21"})
        EXPECT_TRUE(Child(w, name)->isEnabled()) << name;
    EXPECT_EQ(w->Check1Value(), 0);

    // Clicking a locked button runs nothing.
    bool boosted = false;
    handlers.boost = [&] { boosted = true; };
    windows.Unload("main");
    w = Main();
    Child<QPushButton>(w, "btnBoost")->click();
    EXPECT_FALSE(boosted);

    w->EnableBoostControls();
    for (const char* name : kLockedUntilLaunch) EXPECT_TRUE(Child(w, name)->isEnabled()) << name;
    Child<QPushButton>(w, "btnBoost")->click();
    EXPECT_TRUE(boosted);
}

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

TEST_F(MainWindowTest, CaptionsAndToolTipsAreExact) {
    brisko::main* w = Main();
    struct Row {
        const char* name;
        const char* caption;
    };
    const Row buttons[] = {{"Command1", "Internet Explorer Users"},  {"btnfire", "Firefox Users"},
                           {"btnRestore", "Original Windows Settings"}, {"btnBoost", "Apply Brisko Boost"},
                           {"btnProBoost", "Pro Boost"}};
    for (const Row& r : buttons) EXPECT_EQ(Child<QPushButton>(w, r.name)->text(), r.caption);
    const Row frames[] = {{"Frame3", "Get Ready to Boost Your Speed ! "},
                          {"Frame4", "Optimize and Boost Your Internet Speed"},
                          {"Frame1", "No Broadband?"},
                          {"Frame9", "Pro Boost"}};
    for (const Row& r : frames) EXPECT_EQ(Child<QGroupBox>(w, r.name)->title(), r.caption);
    EXPECT_EQ(Child<QLabel>(w, "Label17")->text(), "Before you can apply the boost....");
    EXPECT_EQ(Child<QCheckBox>(w, "Check1")->text(), "I only have a standard Dial-Up modem");
    EXPECT_EQ(Child(w, "btnfire")->toolTip(),
              "This button tests your real Web browsing speed experience when using Mozilla Firefox . The "
              "test times how long it takes to open a Web page from the Internet. After applying the Brisko "
              "boost you can run the test again and compare the time difference.");
}

TEST_F(MainWindowTest, MenusHoldTheirItemsInOrder) {
    brisko::main* w = Main();
    QStringList seen;
    for (QAction* top : w->menuBar()->actions()) {
        seen << top->menu()->objectName() + "=" + top->text();
        for (QAction* item : top->menu()->actions())
            seen << item->objectName() + "=" + (item->isSeparator() ? "-" : item->text());
    }
    EXPECT_EQ(seen.join("|").toStdString(),
              "mnuMain=Main|mnuExit=Exit|mnuMore=Data Speed Tests|mnuData=Data Speed Tests|"
              "mnuHelp=Help|mnuQuick=Quick Help|mnuLive=Live Online Chat Help|mnuBlank=-|mnuTip=Top Tip|"
              "mnuAbout=About|mnuFull=About Brisko|mnuSpace=-|mnuNorvane=More about Norvane...");
}

TEST_F(MainWindowTest, MenuWindowsAreSingleInstances) {
    brisko::main* w = Main();
    Trigger(w, "mnuQuick");
    QWidget* help = windows.Find("Help");
    ASSERT_NE(help, nullptr);
    Trigger(w, "mnuQuick");
    EXPECT_EQ(windows.Find("Help"), help);
    EXPECT_EQ(QApplication::topLevelWidgets().count(help), 1);

    Trigger(w, "mnuTip");
    Trigger(w, "mnuFull");
    EXPECT_TRUE(windows.IsLoaded("toptip"));
    EXPECT_TRUE(windows.IsLoaded("Formserial"));

    // Closed by its title-bar button, a window is unloaded and comes back new.
    help->close();
    EXPECT_FALSE(windows.IsLoaded("Help"));
    Trigger(w, "mnuQuick");
    EXPECT_TRUE(windows.IsLoaded("Help"));
}

TEST_F(MainWindowTest, WebLinksOpenExternalWindowsAndFailuresAreReported) {
    brisko::main* w = Main();
    Trigger(w, "mnuLive");
    Trigger(w, "mnuNorvane");
    Trigger(w, "mnuLive");
    EXPECT_EQ(browser.shownPages,
              (std::vector<std::string>{kProductSiteAddress, kMakerSiteAddress, kProductSiteAddress}));
    EXPECT_TRUE(messages.shown.empty());

    browser.failCreate = true;
    Trigger(w, "mnuLive");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Invalid class string");
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_EQ(endedWith, -1);  // the program goes on
    EXPECT_TRUE(windows.IsLoaded("main"));
}

TEST_F(MainWindowTest, ClosingMainLeavesOtherWindowsOpenWhileExitUnloadsEveryWindowThenEnds) {
    Trigger(Main(), "mnuTip");
    Main()->close();
    EXPECT_FALSE(windows.IsLoaded("main"));
    EXPECT_TRUE(windows.IsLoaded("toptip"));
    EXPECT_EQ(endedWith, -1);

    for (const char* item : {"mnuQuick", "mnuFull", "mnuExit"}) Trigger(Main(), item);
    for (const char* name : {"main", "Help", "toptip", "Formserial"}) EXPECT_FALSE(windows.IsLoaded(name)) << name;
    EXPECT_EQ(endedWith, 0);
}

}  // namespace
}  // namespace brisko::test
