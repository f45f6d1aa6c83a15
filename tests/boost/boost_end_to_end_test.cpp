// The boost commands on the real back ends: the delivered regedit program importing
// the delivered files into a temporary system root, real path mapping and files.
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "boost/boost_mode.h"
#include "boost/reg_access.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "platform/posix/system_root.h"
#include "tests/boost/import_file_reader.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/fake_boost_ui.h"
#include "tests/support/child_processes.h"
#include "tests/support/fake_event_pump.h"

extern char** environ;

namespace brisko::test {
namespace {


const std::vector<std::string> kNormalFiles = {"web.reg",   "tcp.reg",     "zero1.reg",  "dns1.reg",
                                               "service.reg", "lanman.reg", "web-modem.reg", "tcp-modem.reg"};
const std::vector<std::string> kProFiles = {"web-game.reg", "tcp-game.reg", "zero1.reg",
                                            "dns1.reg",     "service.reg",  "lanman.reg"};

class BoostEndToEndTest : public ::testing::Test {
protected:
    BoostEndToEndTest() {
        ::setenv("BRISKO_SYSTEM_ROOT", p.root.c_str(), 1);
        EXPECT_TRUE(ProvisionSystemRoot(p.root.string()).ok());
        // The user whose profiles the fixture made, as Windows would name them.
        const fs::path seed = p.root / "seed.reg";
        WriteBytes(seed, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Volatile Environment]\r\n\"HOMEPATH\"=\"\\\\Users\\\\ann\"\r\n");
        RunRegedit(seed);
        EXPECT_EQ(RegAccess::ReadRegValue(registry, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH"), p.homePath);
        p.CreateAll(kUserPrefs, kUserPrefs);
        // The import files are named without a folder: they resolve in the working folder.
        fs::current_path(BRISKO_BIN_DIR);
    }
    ~BoostEndToEndTest() override {
        PollUntil([] { return ChildProcesses(false) == 0; });
        fs::current_path(m_cwd);
        ::unsetenv("BRISKO_SYSTEM_ROOT");
    }

    void RunRegedit(const fs::path& file) {
        std::string program = std::string(BRISKO_BIN_DIR) + "/regedit";
        std::string slash = "/s", path = file.string();
        char* argv[] = {program.data(), slash.data(), path.data(), nullptr};
        pid_t child = 0;
        ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // Runs a command and waits for the imports it started to end.
    void RunAndSettle(BoostMode mode) {
        EXPECT_TRUE(engine.RunBoostMode(mode));
        ASSERT_TRUE(PollUntil([] { return ChildProcesses(false) == 0; }));
    }

    std::string Read(const RegValueName& value) {
        return RegAccess::ReadRegValue(registry, value.root, value.keyPath, value.name);
    }
    void ExpectSet(const std::vector<std::string>& files) {
        for (const auto& name : files)
            for (const auto& [value, data] : LoadImportFile(name).dwords) {
                char text[16];
                std::snprintf(text, sizeof text, "%03u", data);
                EXPECT_EQ(Read(value), text) << name << ": " << value.Id();
            }
    }
    void ExpectAbsent(const std::vector<std::string>& files) {
        for (const auto& name : files)
            for (const auto& [value, data] : LoadImportFile(name).dwords)
                EXPECT_EQ(Read(value), "Not Found") << name << ": " << value.Id();
    }

    ProfileFixture p;
    fs::path m_cwd = fs::current_path();
    PathMapperPosix paths{p.root.string(), BRISKO_BIN_DIR};
    ProcessStarterPosix processes{BRISKO_BIN_DIR, &paths};
    RegistryReaderPosix registry{p.root.string()};
    FakeEventPump pump;
    FileSystemPosix files;
    FakeBoostUi ui;
    BoostEngine engine{{&processes, &registry, &paths, &pump, &files, &ui}};
};

TEST_F(BoostEndToEndTest, NormalBoostWithDialUpSetsWhatItsEightFilesSet) {
    ui.check1 = [] { return 1; };
    RunAndSettle(BoostMode::Normal);
    ExpectSet(kNormalFiles);
    EXPECT_EQ(Read({kHkeyLocalMachine, "SOFTWARE\\Microsoft\\MSMQ\\Parameters", "TCPNoDelay"}), "Not Found");
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(ui.log.front(), "caption btnBoost Working..");
    EXPECT_EQ(ui.log.back(), "prompt restart");
    EXPECT_EQ(ui.captions["btnBoost"], "Apply Brisko Boost");

    RunAndSettle(BoostMode::Normal);
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines + kNineLines);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines + kNineLines);
}

TEST_F(BoostEndToEndTest, ProBoostSetsItsSixFilesAndIgnoresTheDialUpBox) {
    ui.check1 = [] { return 1; };
    RunAndSettle(BoostMode::Pro);
    ExpectSet(kProFiles);
    ExpectAbsent({"web-modem.reg", "tcp-modem.reg"});
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(ui.captions["btnProBoost"], "Pro Boost");
}

TEST_F(BoostEndToEndTest, RestoreUndoesTheWebAndTcpFilesAndPutsStockPrefsBack) {
    ui.check1 = [] { return 1; };
    RunAndSettle(BoostMode::Normal);
    RunAndSettle(BoostMode::Restore);
    ExpectAbsent({"web.reg", "tcp.reg", "web-modem.reg", "tcp-modem.reg"});
    ExpectSet({"zero1.reg", "dns1.reg", "service.reg", "lanman.reg"});  // the restore leaves these
    EXPECT_EQ(ReadBytes(p.controlPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "control.js"));
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "fire.js"));
    EXPECT_EQ(ReadBytes(p.firefoxFolder / "prefs.js.before-restore"), kUserPrefs + kNineLines);
    EXPECT_EQ(ui.captions["btnRestore"], "Original Settings");
    EXPECT_EQ(ui.log.back(), "prompt Restart3");
}

}  // namespace
}  // namespace brisko::test
