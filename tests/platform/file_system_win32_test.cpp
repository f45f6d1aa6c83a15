// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 files on real folders; the boost's own use of them is brisko_cli_exe_boost's.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win32/file_system_win32.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

TEST(FileSystemWin32, LinesListingsAndCopies) {
    TempFolder temp;
    FileSystemWin32 files;
    // CR and CR LF end a line; a lone LF is part of it.
    WriteFileBytes(temp / "lines.txt", "one\r\ntwo\rthree\nfour");
    Status error;
    auto reader = files.OpenForReading(temp / "lines.txt", &error);
    ASSERT_TRUE(reader) << error.text;
    std::vector<std::string> lines;
    for (std::string line; !reader->AtEndOfStream();) {
        ASSERT_TRUE(reader->ReadLine(&line).ok());
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three\nfour"}));
    EXPECT_FALSE(reader->ReadLine(&lines[0]).ok());
    EXPECT_FALSE(files.OpenForReading(temp.path(), &error));  // a folder is no text file

    // A copy over a longer file leaves nothing of it behind.
    WriteFileBytes(temp / "long.txt", std::string(100, 'x'));
    ASSERT_TRUE(files.CopyFile(temp / "lines.txt", temp / "long.txt").ok());
    EXPECT_EQ(ReadFileBytes(temp / "long.txt"), "one\r\ntwo\rthree\nfour");

    fs::create_directories(temp.Path() / "b folder");
    fs::create_directories(temp.Path() / "A folder");
    WriteFileBytes(temp / "Zeta.txt", "");
    FolderListing listing;
    ASSERT_TRUE(files.GetFolder(temp.path() + "\\", &listing).ok());
    EXPECT_EQ(listing.path, temp.path());
    EXPECT_EQ(listing.fileNames, (std::vector<std::string>{"lines.txt", "long.txt", "Zeta.txt"}));
    EXPECT_EQ(listing.subFolderPaths,
              (std::vector<std::string>{temp.path() + "\\A folder", temp.path() + "\\b folder"}));
    EXPECT_FALSE(files.GetFolder(temp / "missing", &listing).ok());
    EXPECT_TRUE(files.FileExists(temp / "Zeta.txt"));
    EXPECT_FALSE(files.FileExists(temp.path()));
}

}  // namespace
}  // namespace brisko::test
