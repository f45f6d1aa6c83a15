#include "boost/boost_mode.h"

#include <gtest/gtest.h>

#include "tests/boost/profile_fixture.h"

namespace brisko::test {
namespace {

using Lines = std::vector<std::string>;

// Everything a command needs, with a user whose two profiles exist; ui.log records
// captions, imports started, the pointer and the prompt in the order they happen.
struct Rig : BoostRig {
    Rig() {
        processes.onStart = [this](const std::string& line) { ui.log.push_back("start " + line); };
        ui.check1 = [] { return 1; };
    }
    bool Patched(const fs::path& prefs) const { return ReadBytes(prefs) == kUserPrefs + kNineLines; }

    FakeBoostUi ui;
    FakeHistory history;
    BoostEngine engine{{&processes, &registry, paths.get(), &pump, &files, &ui, &history}};
};

// Which files each mode imports is checked against the values they set end to end.
// The dial-up box is read before each modem file: unticked between, only the first runs.
TEST(BoostMode, EachModeRunsItsImportsBetweenTheBusyCaptionAndItsPrompt) {
    const Lines boostDone = {"caption btnBoost Apply Brisko Boost", "pointer default", "prompt restart"};
    const struct {
        BoostMode mode;
        std::vector<int> check1;  // what each read of the box gives; the last repeats
        const char* button;
        std::size_t imports;
        Lines done;
    } cases[] = {
        {BoostMode::Normal, {0}, "btnBoost", 6, boostDone},
        {BoostMode::Normal, {1}, "btnBoost", 8, boostDone},
        {BoostMode::Normal, {1, 0}, "btnBoost", 7, boostDone},
        {BoostMode::Pro, {1}, "btnProBoost", 6,
         {"caption btnBoost Apply Brisko Boost", "caption btnProBoost Pro Boost", "pointer default", "prompt restart"}},
        {BoostMode::Restore, {1}, "btnRestore", 2,
         {"caption btnRestore Original Settings", "pointer default", "prompt Restart3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + std::to_string(c.imports));
        Rig t;
        std::size_t reads = 0;
        t.ui.check1 = [&] { return c.check1[std::min(reads++, c.check1.size() - 1)]; };
        EXPECT_TRUE(t.engine.RunBoostMode(c.mode));
        const Lines& log = t.ui.log;
        ASSERT_EQ(log.size(), 1 + c.imports + c.done.size());
        EXPECT_EQ(log.front(), std::string("caption ") + c.button + " Working..");
        for (std::size_t i = 1; i <= c.imports; ++i) EXPECT_EQ(log[i].rfind("start regedit /s ", 0), 0u) << log[i];
        EXPECT_EQ(Lines(log.end() - static_cast<long>(c.done.size()), log.end()), c.done);
        for (const auto& s : t.processes.started) {
            EXPECT_EQ(s.state, WindowState::NormalActive);
            EXPECT_EQ(s.workingFolder, t.f.programFolder.string());  // where the files lie
        }
    }
}

// The first failure skips the rest of the command; the completion runs regardless.
// The prompt says "Done!", so it only opens when every import started: otherwise the
// user is told which did not. A machine without Firefox has nothing to patch there.
TEST(BoostMode, FailuresSkipToTheCompletion) {
    const auto refuse = [](const char* file) {
        return [file](Rig& t) {
            t.processes.failOn = [file](const std::string& line) { return !*file || line == "regedit /s " + std::string(file); };
        };
    };
    const struct {
        const char* name;
        std::function<void(Rig&)> arrange;
        std::size_t imports;
        bool control, firefox;  // patched
        const char* notStarted;  // the first import the failure names, and how many it names
        int named;
        bool failed;  // the outcome counts as a failure
    } cases[] = {
        {"first import cannot start", refuse(""), 0, false, false, "web.reg", 8, true},
        {"third import cannot start", refuse("zero1.reg"), 2, false, false, "zero1.reg", 6, true},
        {"second modem file cannot start", refuse("tcp-modem.reg"), 7, false, false, "tcp-modem.reg", 1, true},
        {"no home path", [](Rig& t) { t.registry.values.clear(); }, 8, false, false, nullptr, 0, true},
        {"no control profile", [](Rig& t) { fs::remove_all(t.f.controlRoot); }, 8, false, false, nullptr, 0, true},
        {"Firefox not installed", [](Rig& t) { fs::remove_all(t.f.firefoxRoot); }, 8, true, false, nullptr, 0, false},
        {"Firefox profile gone", [](Rig& t) { fs::remove_all(t.f.firefoxFolder); }, 8, true, false, nullptr, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        BoostOutcome outcome;
        EXPECT_TRUE(t.engine.RunBoostMode(BoostMode::Normal, &outcome));
        EXPECT_EQ(t.processes.started.size(), c.imports);
        EXPECT_EQ(t.Patched(t.f.controlPrefs), c.control);
        EXPECT_EQ(t.Patched(t.f.firefoxPrefs), c.firefox);
        ASSERT_GE(t.ui.log.size(), 3u);
        EXPECT_EQ(Lines(t.ui.log.end() - 3, t.ui.log.end() - 1),
                  (Lines{"caption btnBoost Apply Brisko Boost", "pointer default"}));
        const std::string& shown = t.ui.log.back();
        if (c.notStarted) {
            EXPECT_EQ(shown.rfind("failure Not all settings could be changed: these registry imports did not start."
                                  "\n\n    regedit /s " + std::string(c.notStarted) + "\n",
                                  0),
                      0u)
                << shown;
            int named = 0;
            for (std::size_t at = 0; (at = shown.find("\n    regedit /s ", at)) != std::string::npos; ++at) ++named;
            EXPECT_EQ(named, c.named);
            EXPECT_EQ(shown.substr(shown.rfind("\n\n")), "\n\nThe system cannot find the file specified.");
        } else {
            EXPECT_EQ(shown, "prompt restart");
        }
        EXPECT_EQ(outcome.failure.empty(), !c.failed);
        EXPECT_EQ(outcome.steps[1].noProfile, !c.failed);
        EXPECT_FALSE(t.engine.Running());
        // The history keeps what was imported and patched, whatever stopped the command.
        ASSERT_EQ(t.history.Records().size(), 1u);
        const BoostRecord& kept = *t.history.Records()[0].Boost();
        EXPECT_EQ(kept.imported.size(), c.imports);
        EXPECT_EQ(kept.imported.size() + kept.notImported.size(), 8u);
        EXPECT_EQ(kept.patched.size(), (c.control ? 1u : 0u) + (c.firefox ? 1u : 0u));
        EXPECT_EQ(kept.failure, outcome.failure);
    }
}

}  // namespace
}  // namespace brisko::test
