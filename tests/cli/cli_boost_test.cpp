#include "cli/cli_boost.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/posix/file_system_posix.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/fake_event_pump.h"
#include "tests/support/fake_process_starter.h"
#include "tests/support/fake_string_registry.h"

namespace brisko::cli {
namespace {

using test::fs::remove_all;

struct Rig {
    Rig() : paths(test::MakePathMapper(f.root, f.programFolder)) {
        f.CreateAll(test::kUserPrefs, test::kUserPrefs);
        test::WriteBytes(f.programFolder / "control.js", "stock control\r\n");
        test::WriteBytes(f.programFolder / "fire.js", "stock fire\r\n");
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", f.homePath);
    }
    int Run(BoostMode mode, bool dialUp = false) {
        return RunBoostCommand({&processes, &registry, paths.get(), &pump, &files, nullptr}, mode, dialUp, out, err);
    }

    test::ProfileFixture f;
    std::unique_ptr<PathMapper> paths;
    test::FakeProcessStarter processes;
    test::FakeStringRegistry registry;
    test::FakeEventPump pump;
    FileSystemPosix files;
    std::ostringstream out, err;
};

const std::string kSixImports =
    "Imports started:\n"
    "  regedit /s web.reg\n  regedit /s tcp.reg\n  regedit /s zero1.reg\n"
    "  regedit /s dns1.reg\n  regedit /s service.reg\n  regedit /s lanman.reg\n";

TEST(CliBoostTest, SaysWhatEachCommandDid) {
    struct Case {
        const char* name;
        BoostMode mode;
        bool dialUp;
        std::function<void(Rig&)> arrange;
        int status;
        std::string out;
        std::string err;  // start of it
    };
    const Case cases[] = {
        {"boost", BoostMode::Normal, false, [](Rig&) {}, 0,
         kSixImports + "Home path: \\Users\\ann\nPatchControlPrefs: done\nPatchFirefoxPrefs: done\n", ""},
        {"boost --dial-up", BoostMode::Normal, true, [](Rig&) {}, 0,
         kSixImports + "  regedit /s web-modem.reg\n  regedit /s tcp-modem.reg\n"
                       "Home path: \\Users\\ann\nPatchControlPrefs: done\nPatchFirefoxPrefs: done\n",
         ""},
        {"restore", BoostMode::Restore, false, [](Rig&) {}, 0,
         "Imports started:\n  regedit /s no-web.reg\n  regedit /s no-tcp.reg\n"
         "Home path: \\Users\\ann\nRestoreControlPrefs: done\nRestoreFirefoxPrefs: done\n",
         ""},
        {"regedit missing", BoostMode::Pro, false,
         [](Rig& t) { t.processes.failOn = [](const std::string&) { return true; }; }, 1,
         "Imports started: none\nPatchControlPrefs: not reached\nPatchFirefoxPrefs: not reached\n",
         "brisko-cli pro-boost: stopped: The system cannot find the file specified."},
        {"third import fails", BoostMode::Normal, false,
         [](Rig& t) { t.processes.failOn = [](const std::string& l) { return l == "regedit /s zero1.reg"; }; }, 1,
         "Imports started:\n  regedit /s web.reg\n  regedit /s tcp.reg\n"
         "PatchControlPrefs: not reached\nPatchFirefoxPrefs: not reached\n",
         "brisko-cli boost: stopped: "},
        {"Firefox not installed", BoostMode::Normal, false, [](Rig& t) { remove_all(t.f.firefoxRoot); }, 1,
         kSixImports + "Home path: \\Users\\ann\nPatchControlPrefs: done\nPatchFirefoxPrefs: failed: ", "brisko-cli boost: stopped: "},
        {"no home path", BoostMode::Restore, false, [](Rig& t) { t.registry.values.clear(); }, 1,
         "Imports started:\n  regedit /s no-web.reg\n  regedit /s no-tcp.reg\n"
         "Home path: Not Found\nRestoreControlPrefs: failed: ",
         "brisko-cli restore: stopped: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        EXPECT_EQ(t.Run(c.mode, c.dialUp), c.status);
        const std::string out = t.out.str(), err = t.err.str();
        if (c.status == 0) {
            EXPECT_EQ(out, c.out);
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(out.substr(0, c.out.size()), c.out) << out;
            EXPECT_EQ(err.substr(0, c.err.size()), c.err) << err;
            EXPECT_EQ(err.back(), '\n');
        }
    }
}

TEST(CliBoostTest, AFailedStepNamesWhyAndTheStepAfterItIsNotReached) {
    Rig t;
    remove_all(t.f.controlRoot);
    EXPECT_EQ(t.Run(BoostMode::Normal), 1);
    const std::string out = t.out.str();
    const std::size_t failed = out.find("PatchControlPrefs: failed: ");
    ASSERT_NE(failed, std::string::npos) << out;
    const std::string why = out.substr(failed + 27, out.find('\n', failed) - failed - 27);
    EXPECT_FALSE(why.empty());
    EXPECT_NE(out.find("PatchFirefoxPrefs: not reached\n"), std::string::npos);
    EXPECT_EQ(t.err.str(), "brisko-cli boost: stopped: " + why + "\n");
    EXPECT_EQ(test::ReadBytes(t.f.firefoxPrefs), test::kUserPrefs);  // untouched
}

TEST(CliReadRegTest, PrintsTheValueTextWholeAndNotFoundOtherwise) {
    test::FakeStringRegistry registry;
    registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\ann");
    registry.Set(kHkeyLocalMachine, "Multi", "", std::string("one\0two", 7));
    const std::tuple<std::uint32_t, const char*, const char*, std::string> cases[] = {
        {kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\ann\n"},
        {kHkeyLocalMachine, "Multi", "", std::string("one\0two\n", 8)},
        {kHkeyCurrentUser, "Volatile Environment", "HOMEDRIVE", "Not Found\n"},
    };
    for (const auto& [root, key, value, printed] : cases) {
        std::ostringstream out;
        EXPECT_EQ(RunReadReg(registry, root, key, value, out), 0);
        EXPECT_EQ(out.str(), printed);
    }
}

}  // namespace
}  // namespace brisko::cli
