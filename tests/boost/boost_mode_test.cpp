#include "boost/boost_mode.h"

#include <gtest/gtest.h>

#include "platform/posix/file_system_posix.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/fake_boost_ui.h"
#include "tests/support/fake_event_pump.h"
#include "tests/support/fake_process_starter.h"
#include "tests/support/fake_string_registry.h"

namespace brisko::test {
namespace {

const std::string kPrefs = "user_pref(\"browser.startup.page\", 0);\r\n";

std::vector<std::string> Commands(std::initializer_list<const char*> files) {
    std::vector<std::string> lines;
    for (const char* file : files) lines.push_back(std::string("regedit /s ") + file);
    return lines;
}

// Everything a command needs, with a user whose two profiles exist.
struct Rig {
    Rig() : paths(MakePathMapper(f.root, f.programFolder)) {
        f.CreateAll(kPrefs, kPrefs);
        WriteBytes(f.programFolder / "control.js", "stock control\r\n");
        WriteBytes(f.programFolder / "fire.js", "stock fire\r\n");
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", f.homePath);
        processes.onStart = [this](const std::string& line) { ui.log.push_back("start " + line); };
    }

    bool RunMode(BoostMode mode) { return engine.RunBoostMode(mode); }
    bool Patched(const fs::path& prefs) const { return ReadBytes(prefs).size() > kPrefs.size(); }

    ProfileFixture f;
    std::unique_ptr<PathMapper> paths;
    FakeProcessStarter processes;
    FakeStringRegistry registry;
    FakeEventPump pump;
    FileSystemPosix files;
    FakeBoostUi ui;
    BoostEngine engine{{&processes, &registry, paths.get(), &pump, &files, &ui}};
};

class BoostModeTest : public ::testing::Test, protected Rig {};

TEST_F(BoostModeTest, EachModeStartsItsImportsInTableOrder) {
    struct Case {
        BoostMode mode;
        int check1;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {BoostMode::Normal, 0, Commands({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"})},
        {BoostMode::Normal, 1,
         Commands({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg", "web-modem.reg",
                   "tcp-modem.reg"})},
        {BoostMode::Pro, 1,
         Commands({"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"})},
        {BoostMode::Restore, 1, Commands({"no-web.reg", "no-tcp.reg"})},
    };
    for (const auto& c : cases) {
        processes.started.clear();
        ui.check1 = [&] { return c.check1; };
        EXPECT_TRUE(RunMode(c.mode));
        EXPECT_EQ(processes.CommandLines(), c.commands);
        for (const auto& s : processes.started) EXPECT_EQ(s.state, WindowState::NormalActive);
    }
}

TEST_F(BoostModeTest, TheDialUpBoxIsReadBeforeEachModemFile) {
    int reads = 0;
    ui.check1 = [&] { return ++reads == 1 ? 1 : 0; };  // unticked between the two reads
    RunMode(BoostMode::Normal);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(processes.CommandLines().back(), "regedit /s web-modem.reg");
}

TEST_F(BoostModeTest, CaptionsGoThroughWorkingAndTheModesPromptOpensLast) {
    struct Case {
        BoostMode mode;
        std::vector<std::string> before, after;  // log lines before the first import, after the last
    };
    const Case cases[] = {
        {BoostMode::Normal,
         {"caption btnBoost Working.."},
         {"caption btnBoost Apply Brisko Boost", "pointer default", "prompt restart"}},
        {BoostMode::Pro,
         {"caption btnProBoost Working.."},
         {"caption btnBoost Apply Brisko Boost", "caption btnProBoost Pro Boost", "pointer default", "prompt restart"}},
        {BoostMode::Restore,
         {"caption btnRestore Working.."},
         {"caption btnRestore Original Settings", "pointer default", "prompt Restart3"}},
    };
    for (const auto& c : cases) {
        ui.log.clear();
        RunMode(c.mode);
        ASSERT_GT(ui.log.size(), c.before.size() + c.after.size());
        EXPECT_EQ(std::vector<std::string>(ui.log.begin(), ui.log.begin() + c.before.size()), c.before);
        EXPECT_EQ(std::vector<std::string>(ui.log.end() - c.after.size(), ui.log.end()), c.after);
    }
    EXPECT_EQ(ui.captions["btnRestore"], "Original Settings");
    EXPECT_EQ(ui.captions["btnBoost"], "Apply Brisko Boost");
    EXPECT_EQ(ui.captions["btnProBoost"], "Pro Boost");
}

TEST_F(BoostModeTest, BoostPatchesBothProfilesAndRestorePutsTheStockFilesBack) {
    RunMode(BoostMode::Pro);
    EXPECT_TRUE(Patched(f.controlPrefs));
    EXPECT_TRUE(Patched(f.firefoxPrefs));
    RunMode(BoostMode::Restore);
    EXPECT_EQ(ReadBytes(f.controlPrefs), "stock control\r\n");
    EXPECT_EQ(ReadBytes(f.firefoxPrefs), "stock fire\r\n");
}

// The first failure skips the rest of the command; the completion runs regardless
// and nothing is shown.
TEST_F(BoostModeTest, FailuresSkipToTheCompletion) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> arrange;
        std::size_t imports;
        bool control, firefox;  // patched
    };
    const Case cases[] = {
        {"first import cannot start",
         [](Rig& t) { t.processes.failOn = [](const std::string&) { return true; }; }, 0, false, false},
        {"third import cannot start",
         [](Rig& t) {
             t.processes.failOn = [](const std::string& line) { return line == "regedit /s zero1.reg"; };
         },
         2, false, false},
        {"no home path", [](Rig& t) { t.registry.values.clear(); }, 6, false, false},
        {"no control profile", [](Rig& t) { fs::remove_all(t.f.controlRoot); }, 6, false, false},
        {"Firefox not installed", [](Rig& t) { fs::remove_all(t.f.firefoxRoot); }, 6, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        EXPECT_TRUE(t.RunMode(BoostMode::Normal));
        EXPECT_EQ(t.processes.started.size(), c.imports);
        if (Exists(t.f.controlPrefs)) {
            EXPECT_EQ(t.Patched(t.f.controlPrefs), c.control);
        }
        if (Exists(t.f.firefoxPrefs)) {
            EXPECT_EQ(t.Patched(t.f.firefoxPrefs), c.firefox);
        }
        const std::vector<std::string> completion = {"caption btnBoost Apply Brisko Boost", "pointer default",
                                                     "prompt restart"};
        ASSERT_GE(t.ui.log.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(t.ui.log.end() - 3, t.ui.log.end()), completion);
        EXPECT_FALSE(t.engine.Running());
    }
}

// A click on any boost button while a command yields is ignored: nothing starts,
// no caption changes, and the file being rewritten gets the lines once.
TEST_F(BoostModeTest, ClicksDuringACommandAreIgnored) {
    WriteBytes(f.controlPrefs, "a\r\nb\r\nc\r\n");
    std::vector<bool> accepted;
    std::size_t startsBefore = 0, logBefore = 0;
    bool clicking = false;  // a broken guard must fail here, not recurse without end
    pump.onPump = [&] {
        if (clicking) return;
        clicking = true;
        startsBefore = processes.started.size();
        logBefore = ui.log.size();
        for (BoostMode mode : {BoostMode::Normal, BoostMode::Pro, BoostMode::Restore}) accepted.push_back(RunMode(mode));
        EXPECT_EQ(processes.started.size(), startsBefore);
        EXPECT_EQ(ui.log.size(), logBefore);
        clicking = false;
    };
    EXPECT_TRUE(RunMode(BoostMode::Normal));
    EXPECT_GE(pump.count, 3);
    EXPECT_EQ(accepted, std::vector<bool>(accepted.size(), false));
    EXPECT_EQ(processes.started.size(), 6u);
    const std::string once = ReadBytes(f.controlPrefs);
    EXPECT_EQ(once.size() - std::string("a\r\nb\r\nc\r\n").size(), ReadBytes(f.firefoxPrefs).size() - kPrefs.size());
    EXPECT_EQ(ui.captions["btnProBoost"], "Pro Boost");

    pump.onPump = nullptr;  // once finished, the buttons work again
    EXPECT_TRUE(RunMode(BoostMode::Restore));
}

}  // namespace
}  // namespace brisko::test
