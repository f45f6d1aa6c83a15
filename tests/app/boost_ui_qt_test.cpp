// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/boost_ui_qt.h"

#include <QCheckBox>

#include "boost/boost_mode.h"
#include "shell/accessible_text.h"
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
        busyCaptions.push_back(ShownCaption(Button("btnBoost")->text()));
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

// What failed is told in a message box instead of the prompt's "Done!": an import that
// cannot start, named, or a Firefox profile that cannot be changed. A machine that never
// had the Mozilla control gets the prompt, with Firefox changed.
TEST_F(BoostUiQtTest, OnlyAWholeCommandOpensThePrompt) {
    Main()->EnableBoostControls();
    rig.processes.failOn = [](const std::string& line) { return line == "regedit /s no-tcp.reg"; };
    Button("btnRestore")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("\n    regedit /s no-tcp.reg\n"), std::string::npos) << messages.shown[0].text;
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_FALSE(windows.IsLoaded("Restart3"));
    EXPECT_EQ(ShownCaption(Button("btnRestore")->text()), "Original Settings");

    rig.processes.failOn = nullptr;
    fs::remove_all(rig.f.controlRoot);
    Button("btnBoost")->click();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(windows.IsLoaded("restart"));
    EXPECT_EQ(ReadBytes(rig.f.firefoxPrefs), kUserPrefs + kNineLines);

    windows.Unload("restart");
    fs::remove_all(rig.f.firefoxFolder);
    Button("btnBoost")->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text.rfind("Not all settings could be changed.", 0), 0u) << messages.shown[1].text;
    EXPECT_FALSE(windows.IsLoaded("restart"));
}

}  // namespace
}  // namespace brisko::test
