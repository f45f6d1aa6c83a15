#include "app/boost_ui_qt.h"

#include <QCheckBox>

#include "boost/boost_mode.h"
#include "tests/app/app_fixture.h"
#include "tests/boost/profile_fixture.h"

namespace brisko::test {
namespace {

class BoostUiQtTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // Stand-ins: the prompts themselves are tested with the restart windows.
        windows.Register("restart", [] { return new FormWindow("restart"); });
        windows.Register("Restart3", [] { return new FormWindow("Restart3"); });
        auto command = [this](BoostMode mode) { return [this, mode] { engine.RunBoostMode(mode); }; };
        handlers.boost = command(BoostMode::Normal);
        handlers.proBoost = command(BoostMode::Pro);
        handlers.restore = command(BoostMode::Restore);
    }
    void TearDown() override {
        for (const char* name : {"restart", "Restart3"}) windows.Unload(name);
        AppFixture::TearDown();
    }
    QPushButton* Button(const char* name) { return Child<QPushButton>(Main(), name); }

    BoostRig rig;
    BoostUiQt ui{windows, messages};
    BoostEngine engine{{&rig.processes, &rig.registry, rig.paths.get(), &rig.pump, &rig.files, &ui}};
};

// Clicks on the real buttons: the busy caption shows while the command yields, a
// second click then starts nothing, and the prompt of the mode opens at the end. With the
// main window closed the interface's calls do nothing.
TEST_F(BoostUiQtTest, ButtonClicksRunTheCommandsOnce) {
    brisko::main* w = Main();
    w->EnableBoostControls();
    Child<QCheckBox>(w, "Check1")->setChecked(true);

    std::vector<QString> busyCaptions;
    rig.pump.onPump = [&] {
        busyCaptions.push_back(Button("btnBoost")->text());
        Button("btnProBoost")->click();
        Button("btnRestore")->click();
        Button("btnBoost")->click();
    };
    Button("btnBoost")->click();
    EXPECT_EQ(rig.processes.started.size(), 8u);
    // Three lines in each profile plus seven of profiles.ini: each a yield, each time busy.
    EXPECT_EQ(busyCaptions, std::vector<QString>(13, "Working.."));
    EXPECT_TRUE(windows.IsLoaded("restart"));

    windows.Unload("main");
    ui.SetCaption(BoostButton::btnBoost, "x");
    ui.SetDefaultPointer();
    EXPECT_EQ(ui.Check1Value(), 0);
}

// An import that cannot start is told in a message box, which names it; "Done!" is not shown.
TEST_F(BoostUiQtTest, AnImportThatCannotStartIsShownInsteadOfThePrompt) {
    rig.processes.failOn = [](const std::string& line) { return line == "regedit /s no-tcp.reg"; };
    Main()->EnableBoostControls();
    Button("btnRestore")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("\n    regedit /s no-tcp.reg\n"), std::string::npos) << messages.shown[0].text;
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_FALSE(windows.IsLoaded("Restart3"));
    EXPECT_EQ(Button("btnRestore")->text(), "Original Settings");
}

}  // namespace
}  // namespace brisko::test
