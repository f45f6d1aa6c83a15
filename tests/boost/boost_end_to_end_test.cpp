// SPDX-License-Identifier: GPL-3.0-or-later
// The boost commands on the real back ends: the delivered regedit program importing
// the delivered files into a temporary system root, real path mapping and files.
// Reading back every value each file sets also finds two files of one command that
// disagree on a value (their imports run at the same time, in any order).
#include <gtest/gtest.h>

#include <cstdio>

#include "boost/boost_mode.h"
#include "boost/reg_access.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "winenv/system_root.h"
#include "tests/boost/import_file_reader.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/child_processes.h"
#include "tests/support/fakes.h"

namespace brisko::test {
namespace {

class BoostEndToEndTest : public ::testing::Test {
protected:
    BoostEndToEndTest() {
        EXPECT_TRUE(ProvisionSystemRoot(p.root.string()).ok());
        // The user whose profiles the fixture made, as Windows would name them.
        WriteBytes(p.root / "seed.reg",
                   "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Volatile Environment]\r\n\"HOMEPATH\"=\"\\\\Users\\\\ann\"\r\n");
        EXPECT_EQ(WaitForExit(StartProgram(BRISKO_BIN_DIR "/regedit", {"/s", p.root / "seed.reg"}, "",
                                           p.root / "seed.out")), 0);
        p.CreateAll(kUserPrefs, kUserPrefs);
        ui.check1 = [] { return 1; };
        // Started from anywhere but the program's folder (a desktop launcher, a full
        // path): the import files, named without a folder, must still be found.
        fs::current_path(p.root);
    }
    ~BoostEndToEndTest() override { fs::current_path(m_cwd); }

    // Runs a command and waits for the imports it started to end.
    void RunAndSettle(BoostMode mode) {
        EXPECT_TRUE(engine.RunBoostMode(mode));
        ASSERT_TRUE(PollUntil([] { return ChildProcesses(false) == 0; }));
    }
    // Every value the files set reads as set, or as "Not Found".
    void Expect(const std::vector<std::string>& files, bool set) {
        for (const auto& name : files)
            for (const auto& [value, data] : LoadImportFile(name).dwords) {
                char text[16];
                std::snprintf(text, sizeof text, "%03u", data);
                EXPECT_EQ(RegAccess::ReadRegValue(registry, value.root, value.keyPath, value.name),
                          set ? text : "Not Found") << name << ": " << value.name;
            }
    }

    ProfileFixture p;
    fs::path m_cwd = fs::current_path();
    ScopedEnv m_root{"BRISKO_SYSTEM_ROOT", p.root.string()};
    PathMapperPosix paths{p.root.string(), BRISKO_BIN_DIR};
    ProcessStarterPosix processes{BRISKO_BIN_DIR, &paths};
    RegistryReaderPosix registry{p.root.string()};
    FakeEventPump pump;
    FileSystemPosix files;
    FakeBoostUi ui;
    BoostEngine engine{{&processes, &registry, &paths, &pump, &files, &ui}};
};

// Pro, then Normal with the dial-up box, then Restore: each sets (or removes) what its
// files say, and the profiles are patched once per boost, then put back.
TEST_F(BoostEndToEndTest, EveryModeSetsWhatItsFilesSetAndRestoreUndoesIt) {
    RunAndSettle(BoostMode::Pro);
    Expect({"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"}, true);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);

    RunAndSettle(BoostMode::Normal);
    Expect({"web.reg", "tcp.reg", "web-modem.reg", "tcp-modem.reg"}, true);
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines + kNineLines);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines + kNineLines);
    EXPECT_EQ(ui.log.back(), "prompt restart");

    RunAndSettle(BoostMode::Restore);
    Expect({"web.reg", "tcp.reg", "web-modem.reg", "tcp-modem.reg", "web-game.reg", "tcp-game.reg"}, false);
    Expect({"zero1.reg", "dns1.reg", "service.reg", "lanman.reg"}, true);  // the restore leaves these
    for (const char* stock : {"control.js", "fire.js"}) {
        const std::string bytes = ReadBytes(fs::path(BRISKO_BIN_DIR) / stock);
        EXPECT_NE(bytes.find("\r\nuser_pref(\"network.http.pipelining\", false);\r\n"), std::string::npos) << stock;
        EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << stock;
    }
    EXPECT_EQ(ReadBytes(p.controlPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "control.js"));
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "fire.js"));
    EXPECT_EQ(ReadBytes(p.firefoxFolder / "prefs.js.before-restore"), kUserPrefs + kNineLines + kNineLines);
    EXPECT_EQ(ui.log.back(), "prompt Restart3");
}

}  // namespace
}  // namespace brisko::test
