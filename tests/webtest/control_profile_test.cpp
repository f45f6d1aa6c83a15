// SPDX-License-Identifier: GPL-3.0-or-later
// The Mozilla control's profile is made where the boost looks for it; Firefox starts from
// its registered command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/posix/paths_posix.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "webtest/firefox_command.h"
#include "webtest/control_profile.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

// Without a home there is none; without the stock file it gets a minimal prefs.js.
TEST(ControlProfileTest, FirstUseMakesOneProfileFromTheStockFileAndLaterUsesReuseIt) {
    TempFolder root;
    PathMapperPosix paths((root.Path() / "system").string(), (root.Path() / "program").string());
    FakeStringRegistry registry;
    Status error;
    EXPECT_EQ(EnsureControlProfile(registry, paths, &error), "");
    EXPECT_FALSE(error.ok());
    registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\bob");
    const std::string minimal = EnsureControlProfile(registry, paths, &error);
    ASSERT_TRUE(error.ok()) << error.text;
    EXPECT_EQ(ReadFileBytes(fs::path(minimal) / "prefs.js"), "# Mozilla User Preferences\r\n\r\n");

    fs::create_directories(root.Path() / "program");
    fs::create_directories(root.Path() / "system/drive_c/Users/Ann");
    std::ofstream(root.Path() / "program/control.js", std::ios::binary) << "user_pref(\"a\", 1);\r\n";
    registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\users\\ann");  // case differs on disk
    const std::string folder = EnsureControlProfile(registry, paths, &error);
    ASSERT_TRUE(error.ok()) << error.text;
    const fs::path profileRoot = root.Path() / "system/drive_c/Users/Ann/application data/mozillaControl/profiles/mozillaControl";
    ASSERT_EQ(fs::path(folder).parent_path(), profileRoot);
    EXPECT_EQ(fs::path(folder).extension(), ".slt");
    EXPECT_EQ(ReadFileBytes(fs::path(folder) / "prefs.js"), "user_pref(\"a\", 1);\r\n");

    // A boost may have changed prefs.js since: the second use keeps it and the folder.
    std::ofstream(fs::path(folder) / "prefs.js", std::ios::app) << "boosted\r\n";
    EXPECT_EQ(EnsureControlProfile(registry, paths, &error), folder);
    EXPECT_NE(ReadFileBytes(fs::path(folder) / "prefs.js").find("boosted"), std::string::npos);
    // The only thing in the root, as the boost expects.
    EXPECT_EQ(std::distance(fs::directory_iterator(profileRoot), fs::directory_iterator()), 1);
}

// (The Firefox window's test has the missing command.)
TEST(FirefoxCommandTest, RegisteredCommandGetsTheAddressUnquotedAndAFailureAMessage) {
    FakeStringRegistry registry;
    FakeProcessStarter processes;
    FakeMessageBox messages;
    const std::string address = "http://127.0.0.1/a b;touch x";
    registry.Set(kHkeyLocalMachine, "SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE\\shell\\open\\command\\", "",
                 "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"");
    OpenInFirefox(registry, processes, messages, address);
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].commandLine,
              "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" http://127.0.0.1/a b;touch x");
    EXPECT_EQ(processes.started[0].state, WindowState::MinimizedActive);

    processes.failOn = [](const std::string&) { return true; };
    OpenInFirefox(registry, processes, messages, address);
    EXPECT_EQ(messages.Texts().back(), "Firefox could not be started: The system cannot find the file specified.");
}

}  // namespace
}  // namespace brisko::test
