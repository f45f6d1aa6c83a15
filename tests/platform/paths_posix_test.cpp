// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/paths_posix.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

class PathMapperPosixTest : public testing::Test {
protected:
    PathMapperPosixTest() {
        for (const char* folder : {"Users/Ann/Application Data/Mozilla", "Both/DATA", "Both/Data", "Both/data2"})
            fs::create_directories(m_root.Path() / "drive_c" / folder);
        test::WriteFileBytes(Native("drive_c/Users/Ann/Notes.TXT"), "x");
    }
    std::string Native(const std::string& relative) const { return m_root / relative; }

    test::TempFolder m_root;
    // A trailing separator on the root must not change anything.
    PathMapperPosix m_paths{m_root.path() + "/", "/opt/brisko"};
};

TEST_F(PathMapperPosixTest, MapsDrivePathsMatchingExistingNamesWithoutCase) {
    const struct {
        const char* windows;
        std::string native;
    } cases[] = {
        {R"(c:\users\ANN\application data\mozilla\firefox\profiles.ini)",
         Native("drive_c/Users/Ann/Application Data/Mozilla/firefox/profiles.ini")},
        // Both separators, repeated separators, and a trailing one that is kept.
        {R"(C:/users//ann\\application data/)", Native("drive_c/Users/Ann/Application Data/")},
        {"C:", Native("drive_c")},
        // "." and ".." never lead out of the drive.
        {R"(C:\users\.\ann\..\..\..\..\users)", Native("drive_c/Users")},
        // Several names differing only in case: the exact one, else the first in byte order.
        {R"(C:\both\Data)", Native("drive_c/Both/Data")},
        {R"(C:\both\data)", Native("drive_c/Both/DATA")},
        {R"(D:\Games\x)", Native("drive_d/Games/x")},
        // Without a drive letter only the separators change.
        {R"(\Users\ann)", "/Users/ann"},
    };
    for (const auto& c : cases) EXPECT_EQ(m_paths.ToNative(c.windows), c.native) << c.windows;
}

TEST_F(PathMapperPosixTest, ToWindowsSpellsNamesAsOnDisk) {
    const struct {
        std::string native;
        const char* windows;
    } cases[] = {
        {Native("drive_c/users/ANN/notes.txt"), R"(C:\Users\Ann\Notes.TXT)"},
        {Native("drive_c//Users/Ann/"), R"(C:\Users\Ann\)"},
        {Native("drive_c"), R"(C:\)"},
        {Native("drive_d/Games"), R"(D:\Games)"},
    };
    for (const auto& c : cases) EXPECT_EQ(m_paths.ToWindows(c.native), c.windows) << c.native;

    for (const std::string& outside :
         {Native("registry/HKCU.reg"), Native("drive_cc/x"), Native("drive_c/../x")})
        EXPECT_EQ(m_paths.ToWindows(outside), outside);
    // The running program's folder, which the program folder is taken from.
    EXPECT_TRUE(fs::exists(fs::path(RunningProgramFolder()) / "paths_posix_test"));
}

}  // namespace
}  // namespace brisko
