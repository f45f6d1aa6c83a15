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

using Lines = std::vector<std::string>;

Lines Starts(std::initializer_list<const char*> files) {
    Lines lines;
    for (const char* file : files) lines.push_back(std::string("start regedit /s ") + file);
    return lines;
}

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Everything a command needs, with a user whose two profiles exist; ui.log records
// captions, imports started, the pointer and the prompt in the order they happen.
struct Rig {
    Rig() {
        f.CreateAll(kUserPrefs, kUserPrefs);
        WriteBytes(f.programFolder / "control.js", "stock control\r\n");
        WriteBytes(f.programFolder / "fire.js", "stock fire\r\n");
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", f.homePath);
        processes.onStart = [this](const std::string& line) { ui.log.push_back("start " + line); };
    }
    bool Patched(const fs::path& prefs) const { return ReadBytes(prefs) == kUserPrefs + kNineLines; }

    ProfileFixture f;
    std::unique_ptr<PathMapper> paths = MakePathMapper(f.root, f.programFolder);
    FakeProcessStarter processes;
    FakeStringRegistry registry;
    FakeEventPump pump;
    FileSystemPosix files;
    FakeBoostUi ui;
    BoostEngine engine{{&processes, &registry, paths.get(), &pump, &files, &ui}};
};

TEST(BoostMode, EachModeRunsItsImportsBetweenTheBusyCaptionAndItsPrompt) {
    const Lines normal = Starts({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"});
    const Lines boostDone = {"caption btnBoost Apply Brisko Boost", "pointer default", "prompt restart"};
    const struct {
        BoostMode mode;
        int check1;
        Lines log;
    } cases[] = {
        {BoostMode::Normal, 0, Join({{"caption btnBoost Working.."}, normal, boostDone})},
        {BoostMode::Normal, 1,
         Join({{"caption btnBoost Working.."}, normal, Starts({"web-modem.reg", "tcp-modem.reg"}), boostDone})},
        {BoostMode::Pro, 1,
         Join({{"caption btnProBoost Working.."},
               Starts({"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"}),
               {"caption btnBoost Apply Brisko Boost", "caption btnProBoost Pro Boost", "pointer default",
                "prompt restart"}})},
        {BoostMode::Restore, 1,
         Join({{"caption btnRestore Working.."}, Starts({"no-web.reg", "no-tcp.reg"}),
               {"caption btnRestore Original Settings", "pointer default", "prompt Restart3"}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log.front());
        Rig t;
        t.ui.check1 = [&] { return c.check1; };
        EXPECT_TRUE(t.engine.RunBoostMode(c.mode));
        EXPECT_EQ(t.ui.log, c.log);
        for (const auto& s : t.processes.started) {
            EXPECT_EQ(s.state, WindowState::NormalActive);
            EXPECT_EQ(s.workingFolder, t.f.programFolder.string());  // where the files lie
        }
        const bool restore = c.mode == BoostMode::Restore;
        EXPECT_EQ(t.Patched(t.f.controlPrefs), !restore);
        EXPECT_EQ(ReadBytes(t.f.firefoxPrefs), restore ? "stock fire\r\n" : kUserPrefs + kNineLines);
    }
}

TEST(BoostMode, TheDialUpBoxIsReadBeforeEachModemFile) {
    Rig t;
    int reads = 0;
    t.ui.check1 = [&] { return ++reads == 1 ? 1 : 0; };  // unticked between the two reads
    t.engine.RunBoostMode(BoostMode::Normal);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(t.processes.CommandLines().back(), "regedit /s web-modem.reg");
}

// The first failure skips the rest of the command; the completion runs regardless.
// The prompt says "Done!", so it only opens when every import started: otherwise the
// user is told which did not. A machine without Firefox has nothing to patch there.
TEST(BoostMode, FailuresSkipToTheCompletion) {
    const std::string notStarted = "Not all settings could be changed: these registry imports did not start.\n\n";
    const std::string reason = "\n\nThe system cannot find the file specified.";
    const struct {
        const char* name;
        std::function<void(Rig&)> arrange;
        std::size_t imports;
        bool control, firefox;  // patched
        std::string shown;      // the last line of the log
        bool failed;            // the outcome counts as a failure
    } cases[] = {
        {"first import cannot start", [](Rig& t) { t.processes.failOn = [](const std::string&) { return true; }; },
         0, false, false,
         "failure " + notStarted +
             "    regedit /s web.reg\n    regedit /s tcp.reg\n    regedit /s zero1.reg\n    regedit /s dns1.reg\n"
             "    regedit /s service.reg\n    regedit /s lanman.reg\n    regedit /s web-modem.reg\n"
             "    regedit /s tcp-modem.reg" + reason,
         true},
        {"third import cannot start",
         [](Rig& t) { t.processes.failOn = [](const std::string& line) { return line == "regedit /s zero1.reg"; }; },
         2, false, false,
         "failure " + notStarted +
             "    regedit /s zero1.reg\n    regedit /s dns1.reg\n    regedit /s service.reg\n"
             "    regedit /s lanman.reg\n    regedit /s web-modem.reg\n    regedit /s tcp-modem.reg" + reason,
         true},
        {"second modem file cannot start",
         [](Rig& t) { t.processes.failOn = [](const std::string& line) { return line == "regedit /s tcp-modem.reg"; }; },
         7, false, false, "failure " + notStarted + "    regedit /s tcp-modem.reg" + reason, true},
        {"no home path", [](Rig& t) { t.registry.values.clear(); }, 8, false, false, "prompt restart", true},
        {"no control profile", [](Rig& t) { fs::remove_all(t.f.controlRoot); }, 8, false, false, "prompt restart", true},
        {"Firefox not installed", [](Rig& t) { fs::remove_all(t.f.firefoxRoot); }, 8, true, false, "prompt restart",
         false},
        {"Firefox profile gone", [](Rig& t) { fs::remove_all(t.f.firefoxFolder); }, 8, true, false, "prompt restart",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        t.ui.check1 = [] { return 1; };
        c.arrange(t);
        BoostOutcome outcome;
        EXPECT_TRUE(t.engine.RunBoostMode(BoostMode::Normal, &outcome));
        EXPECT_EQ(t.processes.started.size(), c.imports);
        EXPECT_EQ(t.Patched(t.f.controlPrefs), c.control);
        EXPECT_EQ(t.Patched(t.f.firefoxPrefs), c.firefox);
        ASSERT_GE(t.ui.log.size(), 3u);
        EXPECT_EQ(Lines(t.ui.log.end() - 3, t.ui.log.end()),
                  (Lines{"caption btnBoost Apply Brisko Boost", "pointer default", c.shown}));
        EXPECT_EQ(outcome.failure.empty(), !c.failed);
        EXPECT_EQ(outcome.steps[1].noProfile, !c.failed);
        EXPECT_FALSE(t.engine.Running());
    }
}

}  // namespace
}  // namespace brisko::test
