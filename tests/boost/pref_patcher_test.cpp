// SPDX-License-Identifier: GPL-3.0-or-later
#include "boost/pref_patcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/error.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/fake_file_system.h"

namespace brisko::test {
namespace {

std::vector<std::string> Entries(const TextList& list) {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < list.Count(); ++i) entries.push_back(list.At(i));
    return entries;
}

// ann's profiles, the stock files beside the program (fire.js with LF alone: copied
// byte for byte) and a patcher over real files.
struct PatcherTest : ::testing::Test, BoostRig {
    PatcherTest() { WriteBytes(f.programFolder / "fire.js", "stock fire\n"); }

    MemoryTextList list1;
    PrefPatcher patcher{*paths, pump, list1, files};
};

// A temporary file left by an earlier run is overwritten; prefs.js keeps its permissions.
TEST_F(PatcherTest, CopiesEveryLineWithCrLfThenAppendsTheNineLines) {
    const std::string longLine(64 * 1024 - 1, 'x');  // its CR LF split across two reads
    const struct {
        std::string before, after;
        int yields;
    } cases[] = {
        {"", kNineLines, 0},
        {"a\rb", "a\r\nb\r\n" + kNineLines, 2},                  // CR alone ends a line; so does the end
        {"a\nb\n", "a\nb\n\r\n" + kNineLines, 1},                // LF alone does not
        {"x\r\r\n\r\n\r\ny", "x\r\n\r\n\r\n\r\ny\r\n" + kNineLines, 5},  // blank lines stay
        {longLine + "\r\nnext", longLine + "\r\nnext\r\n" + kNineLines, 2},
        {kNineLines, kNineLines + kNineLines, 9},                // never de-duplicated
    };
    WriteBytes(f.controlFolder / "prefs.js.tmp", "half a file from an earlier run");
    fs::permissions(f.controlPrefs, fs::perms::owner_read | fs::perms::owner_write);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.substr(0, 20));
        WriteBytes(f.controlPrefs, c.before);
        pump.count = 0;
        patcher.PatchControlPrefs(f.homePath);
        EXPECT_EQ(ReadBytes(f.controlPrefs), c.after);
        EXPECT_EQ(pump.count, c.yields);
        EXPECT_FALSE(fs::exists(f.controlFolder / "prefs.js.tmp"));
        EXPECT_EQ(fs::status(f.controlPrefs).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
}

// Windows matches names without regard to case; the profile name comes out lower case.
// A walk lists depth first, files before folders, and never follows a link.
TEST(PrefPatcherCase, FoldersSpelledInAnotherCaseAreFound) {
    BoostRig t({"Application Data", "AbC.Default"});
    const ProfileFixture& p = t.f;
    MemoryTextList list;
    PrefPatcher patcher(*t.paths, t.pump, list, t.files);
    const fs::path top = p.root / "drive_c/walk";
    for (const char* file : {"b.txt", "A.txt", "m/inner/deep.txt", "m/x.txt"}) WriteBytes(top / file, "");
    fs::create_directories(top / "Z");
    fs::create_directory_symlink(top, top / "m/loop");
    patcher.ListFolderTree("C:\\walk");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"\tC:\\walk", "\t\tA.txt", "\t\tb.txt", "\tC:\\walk\\m",
                                                      "\t\tloop", "\t\tx.txt", "\tC:\\walk\\m\\inner",
                                                      "\t\tdeep.txt", "\tC:\\walk\\Z"}));
    // The walk's entries are left over: the search starts a list of its own.
    EXPECT_EQ(patcher.FindControlProfile(p.homePath), "abc.default");
    const std::string root = "\tC:\\Users\\ann\\Application Data\\mozillaControl\\profiles\\mozillaControl";
    EXPECT_EQ(Entries(list), (std::vector<std::string>{root, root + "\\AbC.Default.slt", "\t\tprefs.js"}));
    patcher.PatchControlPrefs(p.homePath);
    patcher.PatchFirefoxPrefs(p.homePath);
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);
}

// The profile Firefox itself starts with: its installation's default, else the profile
// marked default, else the first; relative paths under the Firefox folder. Firefox
// writes the list with LF alone; the old layout gives line 7's profile, as it always did.
TEST_F(PatcherTest, FindFirefoxProfileChoosesAsFirefoxDoes) {
    const std::string under = "c:\\Users\\ann\\application data\\mozilla\\firefox\\";
    const std::string two = "[Profile1]\nName=other\nIsRelative=1\nPath=Profiles/second.x\nDefault=1\n\n"
                            "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/first.default\n\n";
    const struct {
        const char* name;
        std::string ini, folder;  // folder: empty when there is no profile to change
    } cases[] = {
        {"old layout, more profiles after", ProfilesIni("first.default") + "\r\n[Profile1]\r\nName=o\r\n"
                                            "IsRelative=1\r\nPath=Profiles/second.x\r\n",
         under + "Profiles\\first.default"},
        {"old layout, LF alone", ProfilesIni("first.default", "\n"), under + "Profiles\\first.default"},
        {"installation's default first",
         "[Install308046B0AF4A39CB]\nDefault=Profiles/first.default\nLocked=1\n\n" + two +
             "[General]\nStartWithLastProfile=1\nVersion=2\n",
         under + "Profiles\\first.default"},
        {"marked default", "[General]\nStartWithLastProfile=1\n\n" + two, under + "Profiles\\second.x"},
        {"absolute path", "[Profile0]\nName=x\nIsRelative=0\nPath=D:\\Mozilla\\x.default\n", "D:\\Mozilla\\x.default"},
        {"absolute install default", "[Install1]\nDefault=C:/p/y\n[Profile0]\nIsRelative=0\nPath=C:/p/y\n", "C:\\p\\y"},
        {"no profile at all", "[General]\nStartWithLastProfile=1\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(f.profilesIni, c.ini);
        if (c.folder.empty()) {
            EXPECT_THROW(patcher.FindFirefoxProfile(f.homePath), NoProfileHere);
        } else {
            EXPECT_EQ(patcher.FindFirefoxProfile(f.homePath), c.folder);
        }
    }
    // An absolute path without its drive would be taken from whatever folder we run in.
    WriteBytes(f.profilesIni, "[Profile0]\nIsRelative=0\nPath=/etc\n");
    try {
        patcher.FindFirefoxProfile(f.homePath);
        ADD_FAILURE() << "no drive, no profile";
    } catch (const NoProfileHere&) {
        ADD_FAILURE() << "a profile it cannot reach is a failure";
    } catch (const AppError&) {
    }
}

// A prefs.js kept elsewhere and linked into the profile stays linked: what changes is
// the file the link names, also on another file system.
TEST_F(PatcherTest, APrefsFileThatIsALinkStaysALink) {
    TempFolder elsewhere;
    std::vector<fs::path> targets = {f.root / "dotfiles/prefs.js"};
    if (fs::is_directory("/dev/shm")) targets.push_back(fs::path("/dev/shm") / fs::path(elsewhere.path()).filename());
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.string());
        WriteBytes(target, kUserPrefs);
        fs::remove(f.controlPrefs);
        fs::create_symlink(target, f.controlPrefs);
        patcher.PatchControlPrefs(f.homePath);
        EXPECT_TRUE(fs::is_symlink(f.controlPrefs));
        EXPECT_EQ(ReadBytes(target), kUserPrefs + kNineLines);
        patcher.RestoreControlPrefs(f.homePath);
        EXPECT_TRUE(fs::is_symlink(f.controlPrefs));
        EXPECT_EQ(ReadBytes(target), "stock control\r\n");
        EXPECT_FALSE(fs::exists(f.controlFolder / "prefs.js.tmp"));
        fs::remove(target);
    }
}

// Each failure raises and leaves the profile as listed: prefs.js is never missing
// nor half written; only the files named may appear.
TEST(PrefPatcherFailures, LeaveOnlyWhatTheyShould) {
    using Step = void (PrefPatcher::*)(const std::string&);
    const Step PatchControl = &PrefPatcher::PatchControlPrefs, PatchFirefox = &PrefPatcher::PatchFirefoxPrefs;
    const Step RestoreControl = &PrefPatcher::RestoreControlPrefs;
    const Step RestoreFirefox = &PrefPatcher::RestoreFirefoxPrefs;
    using P = ProfileFixture;
    using F = FakeFileSystem;
    static const std::string kIniItself = std::string("../profiles.ini") + '\0';
    const struct {
        const char* name;
        std::function<void(P&, F&)> arrange;
        Step step;
        std::set<std::string> added;  // files that may appear (in the profile folder)
    } rows[] = {
        {"control root missing", [](P& p, F&) { fs::remove_all(p.controlRoot); }, PatchControl, {}},
        {"root without a profile folder", [](P& p, F&) { fs::remove_all(p.controlFolder); }, PatchControl, {}},
        {"profiles.ini missing", [](P& p, F&) { fs::remove(p.profilesIni); }, PatchFirefox, {}},
        {"ini too short", [](P& p, F&) { WriteBytes(p.profilesIni, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"); },
         PatchFirefox, {}},
        // The system stops reading a path at a zero byte, which would name profiles.ini itself.
        {"zero byte in the profile path", [](P& p, F&) { WriteBytes(p.profilesIni, ProfilesIni(kIniItself)); },
         PatchFirefox, {}},
        {"zero byte in the profile path (restore)",
         [](P& p, F&) { WriteBytes(p.profilesIni, ProfilesIni(kIniItself)); }, RestoreFirefox, {}},
        {"prefs.js missing", [](P& p, F&) { fs::remove(p.controlPrefs); }, PatchControl, {}},
        {"prefs.js is a folder", [](P& p, F&) { fs::remove(p.firefoxPrefs); fs::create_directory(p.firefoxPrefs); },
         PatchFirefox, {}},
        {"write fails while copying", [](P&, F& fsys) { fsys.failWriteLine = 2; }, PatchControl, {"prefs.js.tmp"}},
        {"write fails in the nine lines", [](P&, F& fsys) { fsys.failWriteLine = 7; }, PatchFirefox, {"prefs.js.tmp"}},
        {"flush to disk fails", [](P&, F& fsys) { fsys.failCommit = true; }, PatchControl, {"prefs.js.tmp"}},
        {"replace fails", [](P&, F& fsys) { fsys.failReplace = true; }, PatchFirefox, {"prefs.js.tmp"}},
        {"temporary name taken by a folder",
         [](P& p, F&) { fs::create_directory(p.controlFolder / "prefs.js.tmp"); }, PatchControl, {"prefs.js.tmp"}},
        {"stock file missing", [](P& p, F&) { fs::remove(p.programFolder / "fire.js"); }, RestoreFirefox, {}},
        {"saving the old prefs fails", [](P&, F& fsys) { fsys.failCopyTo = "prefs.js.before-restore.tmp"; },
         RestoreFirefox, {"prefs.js.tmp", "prefs.js.before-restore.tmp"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BoostRig t;
        ProfileFixture& p = t.f;
        FakeFileSystem fsys(t.files);
        row.arrange(p, fsys);
        const auto before = Snapshot(p.root);
        MemoryTextList list;
        PrefPatcher subject(*t.paths, t.pump, list, fsys);

        EXPECT_THROW((subject.*row.step)(p.homePath), AppError);

        auto after = Snapshot(p.root);
        std::erase_if(after, [&](const auto& entry) {
            return !before.count(entry.first) && row.added.count(fs::path(entry.first).filename().string());
        });
        EXPECT_EQ(after, before);
    }
}

// A profile without prefs.js gets one and nothing is saved. Each restore keeps what it
// replaces beside it, never over what an earlier one kept; the stock file itself, or a
// file kept already, is not kept again. No temporary file stays.
TEST_F(PatcherTest, RestorePutsTheStockFilesBackAndKeepsTheReplacedOnes) {
    fs::remove(f.controlPrefs);
    patcher.RestoreControlPrefs(f.homePath);
    EXPECT_EQ(ReadBytes(f.controlPrefs), "stock control\r\n");
    const std::string mine = "user_pref(\"mine\", 1);\r\n", since = "changed since\r\n";
    for (const std::string& before : {mine, since, std::string("stock fire\n"), mine}) {
        WriteBytes(f.firefoxPrefs, before);
        patcher.RestoreFirefoxPrefs(f.homePath);
        EXPECT_EQ(ReadBytes(f.firefoxPrefs), "stock fire\n");
    }
    EXPECT_EQ(ReadBytes(f.firefoxFolder / "prefs.js.before-restore"), mine);
    EXPECT_EQ(ReadBytes(f.firefoxFolder / "prefs.js.before-restore.2"), since);
    EXPECT_EQ(Snapshot(f.controlFolder).size(), 1u) << "only prefs.js";
    EXPECT_EQ(Snapshot(f.firefoxFolder).size(), 3u) << "only prefs.js and the two kept";
}

}  // namespace
}  // namespace brisko::test
