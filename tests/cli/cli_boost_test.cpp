// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_boost.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/boost/profile_fixture.h"
#include "tests/support/fakes.h"

namespace brisko::cli {
namespace {

using Rig = test::BoostRig;

TEST(CliBoostTest, SaysWhatEachCommandDidAndWhyAStepFailed) {
    const std::string six =
        "Imports started:\n  regedit /s web.reg\n  regedit /s tcp.reg\n  regedit /s zero1.reg\n"
        "  regedit /s dns1.reg\n  regedit /s service.reg\n  regedit /s lanman.reg\nHome path: \\Users\\ann\n";
    struct Case {
        const char* name;
        BoostMode mode;
        std::function<void(Rig&)> arrange;
        std::string out;  // with "*" where the reason of a failure stands
        std::string err;
    };
    const Case cases[] = {
        {"regedit missing", BoostMode::Pro,
         [](Rig& t) { t.processes.failOn = [](const std::string& line) { return line != "regedit /s web-game.reg"; }; },
         "Imports started:\n  regedit /s web-game.reg\nPatchControlPrefs: not reached\nPatchFirefoxPrefs: not reached\n",
         "brisko-cli pro-boost: Not all settings could be changed: these registry imports did not start.\n\n"
         "    regedit /s tcp-game.reg\n    regedit /s zero1.reg\n    regedit /s dns1.reg\n"
         "    regedit /s service.reg\n    regedit /s lanman.reg\n\n"
         "The system cannot find the file specified.\n"},
        {"no control profile", BoostMode::Normal, [](Rig& t) { remove_all(t.f.controlRoot); },
         six + "PatchControlPrefs: skipped: the Mozilla control has no profile here\nPatchFirefoxPrefs: done\n", ""},
        {"Firefox profile gone", BoostMode::Normal, [](Rig& t) { remove_all(t.f.firefoxFolder); },
         six + "PatchControlPrefs: done\nPatchFirefoxPrefs: failed: *\n", "brisko-cli boost: stopped: *\n"},
        {"Firefox not installed", BoostMode::Normal, [](Rig& t) { remove_all(t.f.firefoxRoot); },
         six + "PatchControlPrefs: done\nPatchFirefoxPrefs: skipped: Firefox has no profile here\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        std::ostringstream out, err;
        const int status = RunBoostCommand({&t.processes, &t.registry, t.paths.get(), &t.pump, &t.files, nullptr},
                                           c.mode, false, out, err);
        EXPECT_EQ(status, c.err.empty() ? 0 : 1);
        // The reason is the failure's own text, the same on both streams.
        const std::size_t failed = out.str().find("failed: ");
        const std::string why =
            failed == std::string::npos ? "" : out.str().substr(failed + 8, out.str().find('\n', failed) - failed - 8);
        auto fill = [&why](std::string text) {
            const std::size_t star = text.find('*');
            return star == std::string::npos ? text : text.replace(star, 1, why);
        };
        EXPECT_EQ(out.str(), fill(c.out));
        EXPECT_EQ(err.str(), fill(c.err));
        EXPECT_TRUE(failed == std::string::npos || !why.empty());
    }
}

// Where regedit can fail without a word: imports that never landed are named, the
// status is 1, and the history keeps them, so the command counts as having failed.
TEST(CliBoostTest, ImportsReadBackMissingAreNamedAndRecorded) {
    Rig t;
    test::FakeHistory history;
    std::ostringstream out, err;
    std::vector<std::string> asked;
    const ReadBack readBack = [&asked](const std::vector<std::string>& files) {
        asked = files;
        return std::vector<std::string>(files.begin(), files.begin() + 2);
    };
    EXPECT_EQ(RunBoostCommand({&t.processes, &t.registry, t.paths.get(), &t.pump, &t.files, nullptr, &history},
                              BoostMode::Normal, false, out, err, readBack),
              1);
    EXPECT_EQ(asked.size(), 6u);
    EXPECT_EQ(err.str(), "brisko-cli boost: the registry does not hold what these imports set: web.reg tcp.reg\n");
    ASSERT_EQ(history.Records().size(), 1u);
    const BoostRecord& record = *history.Records()[0].Boost();
    EXPECT_EQ(record.notLanded, (std::vector<std::string>{"web.reg", "tcp.reg"}));
    EXPECT_TRUE(Failed(record));
    EXPECT_TRUE(ChangedAnything(record));
}

// (A value that is not there reads "Not Found", as the registry access test shows.)
TEST(CliReadRegTest, PrintsTheValueTextWhole) {
    test::FakeStringRegistry registry;
    registry.Set(kHkeyLocalMachine, "Multi", "", std::string("one\0two", 7));
    std::ostringstream out;
    EXPECT_EQ(RunReadReg(registry, kHkeyLocalMachine, "Multi", "", out), 0);
    EXPECT_EQ(out.str(), std::string("one\0two\n", 8));
}

}  // namespace
}  // namespace brisko::cli
