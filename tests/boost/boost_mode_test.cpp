// SPDX-License-Identifier: GPL-3.0-or-later
#include "boost/boost_mode.h"

#include <gtest/gtest.h>

#include "tests/boost/profile_fixture.h"

namespace brisko::test {
namespace {

using Lines = std::vector<std::string>;

// Everything a command needs, with a user whose two profiles exist; ui.log records
// captions, imports tried, the pointer and the prompt in the order they happen.
struct Rig : BoostRig {
    Rig() {
        processes.onStart = [this](const std::string& line) { ui.log.push_back("start " + line); };
        ui.check1 = [] { return 1; };
    }

    FakeBoostUi ui;
    FakeHistory history;
    BoostEngine engine{{&processes, &registry, paths.get(), &pump, &files, &ui, &history}};
};

// The dial-up box is read before each modem file. The first failure skips the rest; the
// completion runs regardless. The prompt says "Done!", so it opens only when nothing
// failed. A browser that was never installed has nothing to patch.
TEST(BoostMode, EachModeRunsItsImportsBetweenTheBusyCaptionAndItsPrompt) {
    using Arrange = std::function<void(Rig&)>;
    using enum BoostMode;
    const auto refuse = [](const char* file) -> Arrange {
        const std::string refused = std::string("regedit /s ") + file;
        return [=](Rig& t) { t.processes.failOn = [=](const std::string& line) { return line == refused; }; };
    };
    const auto gone = [](fs::path ProfileFixture::*folder) -> Arrange {
        return [folder](Rig& t) { fs::remove_all(t.f.*folder); };
    };
    const auto box = [](int first, int then) -> Arrange {
        return [=](Rig& t) { t.ui.check1 = [=, n = 0]() mutable { return ++n == 1 ? first : then; }; };
    };
    const struct {
        const char* name;
        BoostMode mode;
        Arrange arrange;
        std::size_t imports;
        bool control, firefox;   // preference step done
        const char* notStarted;  // the first import the failure names
        bool failed;             // the outcome counts as a failure
    } cases[] = {
        {"boost, dial-up", Normal, box(1, 1), 8, true, true, nullptr, false},
        {"box unticked between the reads", Normal, box(1, 0), 7, true, true, nullptr, false},
        {"pro boost", Pro, box(1, 1), 6, true, true, nullptr, false},
        {"restore", Restore, box(1, 1), 2, true, true, nullptr, false},
        {"third import cannot start", Normal, refuse("zero1.reg"), 2, false, false, "zero1.reg", true},
        {"second modem file fails", Normal, refuse("tcp-modem.reg"), 7, false, false, "tcp-modem.reg", true},
        {"no control profile", Normal, gone(&ProfileFixture::controlRoot), 8, false, true, nullptr, false},
        {"no control profile, restore", Restore, gone(&ProfileFixture::controlRoot), 2, false, true, nullptr, false},
        {"Firefox not installed", Normal, gone(&ProfileFixture::firefoxRoot), 8, true, false, nullptr, false},
        {"Firefox profile gone", Normal, gone(&ProfileFixture::firefoxFolder), 8, true, false, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        BoostOutcome outcome;
        EXPECT_TRUE(t.engine.RunBoostMode(c.mode, &outcome));
        EXPECT_EQ(t.processes.started.size(), c.imports);
        const bool restore = c.mode == Restore, pro = c.mode == Pro;
        const auto done = [&](std::string stock) { return restore ? stock : kUserPrefs + kNineLines; };
        EXPECT_EQ(ReadBytes(t.f.controlPrefs) == done("stock control\r\n"), c.control);
        EXPECT_EQ(ReadBytes(t.f.firefoxPrefs) == done("stock fire\r\n"), c.firefox);
        EXPECT_EQ(outcome.failure.empty(), !c.failed);
        EXPECT_EQ(outcome.steps[0].noProfile, !fs::exists(t.f.controlRoot));
        EXPECT_EQ(outcome.steps[1].noProfile, !fs::exists(t.f.firefoxRoot));

        // The busy caption, the imports tried, the captions put back, the pointer, then
        // the prompt, or the failure that names what did not start.
        const char* button = restore ? "btnRestore" : pro ? "btnProBoost" : "btnBoost";
        Lines expected = {std::string("caption ") + button + " Working.."};
        for (const auto& started : t.processes.started) expected.push_back("start " + started.commandLine);
        if (c.notStarted) expected.push_back(std::string("start regedit /s ") + c.notStarted);
        expected.push_back(restore ? "caption btnRestore Original Settings"
                                   : "caption btnBoost Apply Brisko Boost");
        if (pro) expected.push_back("caption btnProBoost Pro Boost");
        expected.push_back("pointer default");
        const std::size_t named = c.notStarted ? 8 - c.imports : 0;
        const std::string prompt = restore ? "prompt Restart3" : "prompt restart";
        expected.push_back(c.failed ? "failure " + FailureText(outcome) : prompt);
        EXPECT_EQ(t.ui.log, expected);
        // The history keeps what was imported and patched, whatever stopped the command.
        ASSERT_EQ(t.history.Records().size(), 1u);
        const BoostRecord& kept = *t.history.Records()[0].Boost();
        EXPECT_EQ(kept.imported.size(), c.imports);
        EXPECT_EQ(kept.notImported.size(), named);
        if (named) EXPECT_EQ(kept.notImported[0], c.notStarted);
        EXPECT_EQ(kept.patched.size(), (c.control ? 1u : 0u) + (c.firefox ? 1u : 0u));
        EXPECT_EQ(kept.failure, outcome.failure);
    }
}

}  // namespace
}  // namespace brisko::test
