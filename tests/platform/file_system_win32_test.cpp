// The Win32 files and paths under the preference patcher, on real folders.
#include <gtest/gtest.h>

#include <filesystem>

#include "boost/pref_patcher.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/paths_win32.h"
#include "tests/support/fake_boost_ui.h"
#include "tests/support/fake_event_pump.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

// The real mapping, with the stock files in a folder of the test's own.
class StockFolderPaths final : public PathMapper {
public:
    explicit StockFolderPaths(std::string folder) : m_folder(std::move(folder)) {}
    std::string ToNative(const std::string& path) const override { return m_real.ToNative(path); }
    std::string ToWindows(const std::string& path) const override { return m_real.ToWindows(path); }
    std::string ProgramFolder() const override { return m_folder; }
    char Separator() const override { return m_real.Separator(); }

private:
    PathMapperWin32 m_real;
    std::string m_folder;
};

const std::string kUserPrefs = "# Mozilla User Preferences\r\n\r\nuser_pref(\"browser.startup.page\", 0);\r\n";

std::string NineLines() {
    std::string lines;
    for (std::string_view line : BoostPrefLines) lines += std::string(line) + "\r\n";
    return lines;
}

TEST(FileSystemWin32, BoostAndRestoreRewriteRealProfiles) {
    TempFolder temp;
    ASSERT_EQ(temp.path().substr(1, 2), ":\\");
    const std::string homePath = temp.path().substr(2);  // as HOMEPATH: no drive letter
    const fs::path appData = temp.Path() / "Application Data";
    const fs::path controlPrefs = appData / "mozillaControl/profiles/mozillaControl/ABC123.slt/prefs.js";
    const fs::path firefoxPrefs = appData / "mozilla/firefox/Profiles/xyz.default/prefs.js";
    WriteFileBytes(controlPrefs.string(), kUserPrefs);
    WriteFileBytes(firefoxPrefs.string(), kUserPrefs);
    WriteFileBytes((appData / "mozilla/firefox/profiles.ini").string(),
                   "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
                   "Path=Profiles/xyz.default\r\n");
    WriteFileBytes(temp / "control.js", "stock control\r\n");
    WriteFileBytes(temp / "fire.js", "stock fire\r\n");

    StockFolderPaths paths(temp.path());
    FakeEventPump pump;
    FakeTextList list1;
    FileSystemWin32 files;
    PrefPatcher patcher(paths, pump, list1, files);
    patcher.PatchControlPrefs(homePath);
    patcher.PatchFirefoxPrefs(homePath);
    EXPECT_EQ(ReadFileBytes(controlPrefs.string()), kUserPrefs + NineLines());
    EXPECT_EQ(ReadFileBytes(firefoxPrefs.string()), kUserPrefs + NineLines());
    EXPECT_FALSE(fs::exists(controlPrefs.string() + ".tmp"));

    // The second restore replaces the copy the first one kept.
    for (int i = 0; i < 2; ++i) {
        patcher.RestoreControlPrefs(homePath);
        patcher.RestoreFirefoxPrefs(homePath);
    }
    EXPECT_EQ(ReadFileBytes(controlPrefs.string()), "stock control\r\n");
    EXPECT_EQ(ReadFileBytes(firefoxPrefs.string()), "stock fire\r\n");
    EXPECT_EQ(ReadFileBytes(firefoxPrefs.string() + kBeforeRestoreSuffix), "stock fire\r\n");
}

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
