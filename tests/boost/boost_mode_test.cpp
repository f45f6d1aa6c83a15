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

// Which files each mode imports is checked against the values they set end to end.
// The dial-up box is read before each modem file. The first failure skips the rest of
// the command; the completion runs regardless. The prompt says "Done!", so it only opens
// when every import started: otherwise the user is told which did not. A machine
// without Firefox has nothing to patch there.
TEST(BoostMode, EachModeRunsItsImportsBetweenTheBusyCaptionAndItsPrompt) {
    using Arrange = std::function<void(Rig&)>;
    using enum BoostMode;
    const auto refuse = [](const char* file) -> Arrange {
        return [file](Rig& t) {
            t.processes.failOn = [file](const std::string& line) {
                return !*file || line == "regedit /s " + std::string(file);
            };
        };
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
        {"boost", Normal, box(0, 0), 6, true, true, nullptr, false},
        {"boost, dial-up", Normal, box(1, 1), 8, true, true, nullptr, false},
        {"box unticked between the reads", Normal, box(1, 0), 7, true, true, nullptr, false},
        {"pro boost", Pro, box(1, 1), 6, true, true, nullptr, false},
        {"restore", Restore, box(1, 1), 2, true, true, nullptr, false},
        {"first import cannot start", Normal, refuse(""), 0, false, false, "web.reg", true},
        {"third import cannot start", Normal, refuse("zero1.reg"), 2, false, false, "zero1.reg", true},
        {"second modem file fails", Normal, refuse("tcp-modem.reg"), 7, false, false, "tcp-modem.reg", true},
        {"no home path", Normal, [](Rig& t) { t.registry.values.clear(); }, 8, false, false, nullptr, true},
        {"no control profile", Normal, gone(&ProfileFixture::controlRoot), 8, false, false, nullptr, true},
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
        for (const auto& s : t.processes.started) EXPECT_EQ(s.state, WindowState::NormalActive);
        const bool restore = c.mode == Restore, pro = c.mode == Pro;
        const auto done = [&](std::string stock) { return restore ? stock : kUserPrefs + kNineLines; };
        EXPECT_EQ(ReadBytes(t.f.controlPrefs) == done("stock control\r\n"), c.control);
        EXPECT_EQ(ReadBytes(t.f.firefoxPrefs) == done("stock fire\r\n"), c.firefox);

        // The busy caption, the imports tried, the captions put back, the pointer, then
        // the prompt or the failure.
        const char* button = restore ? "btnRestore" : pro ? "btnProBoost" : "btnBoost";
        Lines expected = {restore ? "caption btnRestore Original Settings"
                                  : "caption btnBoost Apply Brisko Boost"};
        if (pro) expected.push_back("caption btnProBoost Pro Boost");
        expected.push_back("pointer default");
        const Lines& log = t.ui.log;
        ASSERT_EQ(log.size(), 1 + c.imports + (c.notStarted ? 1 : 0) + expected.size() + 1);
        EXPECT_EQ(log.front(), std::string("caption ") + button + " Working..");
        for (std::size_t i = 1; i < log.size() - expected.size() - 1; ++i)
            EXPECT_EQ(log[i].rfind("start regedit /s ", 0), 0u) << log[i];
        EXPECT_EQ(Lines(log.end() - static_cast<long>(expected.size()) - 1, log.end() - 1), expected);
        const std::string& shown = log.back();
        const std::size_t named = c.notStarted ? 8 - c.imports : 0;
        if (c.notStarted) {
            const std::string head = "failure Not all settings could be changed: these registry imports did "
                                     "not start.\n\n    regedit /s " + std::string(c.notStarted) + "\n";
            EXPECT_EQ(shown.rfind(head, 0), 0u) << shown;
            std::size_t shownNamed = 0;
            for (std::size_t at = 0; (at = shown.find("\n    regedit /s ", at)) != std::string::npos; ++at)
                ++shownNamed;
            EXPECT_EQ(shownNamed, named);
            EXPECT_EQ(shown.substr(shown.rfind("\n\n")), "\n\nThe system cannot find the file specified.");
        } else {
            EXPECT_EQ(shown, restore ? "prompt Restart3" : "prompt restart");
        }
        EXPECT_EQ(outcome.failure.empty(), !c.failed);
        EXPECT_EQ(outcome.steps[1].noProfile, !fs::exists(t.f.firefoxRoot));
        EXPECT_FALSE(t.engine.Running());
        // The history keeps what was imported and patched, whatever stopped the command.
        ASSERT_EQ(t.history.Records().size(), 1u);
        const BoostRecord& kept = *t.history.Records()[0].Boost();
        EXPECT_EQ(kept.imported.size(), c.imports);
        EXPECT_EQ(kept.notImported.size(), named);
        EXPECT_EQ(kept.patched.size(), (c.control ? 1u : 0u) + (c.firefox ? 1u : 0u));
        EXPECT_EQ(kept.failure, outcome.failure);
    }
}

}  // namespace
}  // namespace brisko::test
