// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/process_start_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "platform/posix/paths_posix.h"
#include "platform/services.h"
#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;
using Record = std::vector<std::string>;

// A program that writes its tag (shell words, expanded when it runs), the path it was
// started by and its arguments, each ended by a NUL byte, to the test's "rec" file,
// completing it in one rename.
void WriteProbe(const fs::path& file, const std::string& tag, const fs::path& out) {
    const std::string to = "'" + out.string();
    WriteFileBytes(file, "#!/bin/sh\nprintf '%s\\0' \"" + tag + "\" \"$0\" \"$@\" > " + to + ".tmp' && mv " +
                             to + ".tmp' " + to + "'\n");
    fs::permissions(file, fs::perms::owner_all);
}

class ProcessStarterPosixTest : public testing::Test {
protected:
    ProcessStarterPosixTest() {
        for (const fs::path& folder : {m_program, m_current, m_onPath, m_root}) fs::create_directories(folder);
        fs::current_path(m_current);
    }
    ~ProcessStarterPosixTest() override { fs::current_path(m_oldCurrent); }

    // Starts the line and waits for the probe's record.
    Record Run(const std::string& line, const std::string& folder = {}) {
        const Status status = m_starter.Start(line, WindowState::MinimizedActive, folder);
        EXPECT_TRUE(status.ok()) << line << ": " << status.text;
        if (!status.ok() || !PollUntil([&] { return fs::exists(m_record); })) return {};
        const std::string all = ReadFileBytes(m_record);
        fs::remove(m_record);
        Record fields;
        for (std::size_t start = 0, end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
            fields.push_back(all.substr(start, end - start));
        return fields;
    }

    TempFolder m_base;
    fs::path m_program = m_base.Path() / "pro gram";  // a blank, as in "Program Files"
    fs::path m_current = m_base.Path() / "current";
    fs::path m_onPath = m_base.Path() / "on path";
    fs::path m_root = m_base.Path() / "root";
    fs::path m_record = m_base.Path() / "rec";
    fs::path m_oldCurrent = fs::current_path();
    ScopedEnv m_path{"PATH", m_onPath.string() + ":/usr/bin:/bin"};
    PathMapperPosix m_paths{m_root.string(), m_program.string()};
    ProcessStarterPosix m_starter{m_program.string(), &m_paths};
};

TEST_F(ProcessStarterPosixTest, FindsProgramsAsWindowsDoesPassesArgumentsUnchangedAndReaps) {
    WriteProbe(m_program / "brisko-probe", "program", m_record);
    WriteProbe(m_current / "brisko-probe", "current", m_record);
    WriteProbe(m_onPath / "brisko-probe", "path", m_record);
    EXPECT_EQ(Run("brisko-probe.exe /s web.reg"), (Record{"program", m_program / "brisko-probe", "/s", "web.reg"}));
    // A file that cannot be executed is passed over.
    fs::permissions(m_program / "brisko-probe", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Run("brisko-probe"), (Record{"current", m_current / "brisko-probe"}));
    fs::remove(m_current / "brisko-probe");
    EXPECT_EQ(Run("brisko-probe.exe"), (Record{"path", m_onPath / "brisko-probe"}));

    const fs::path onDisk = m_root / "drive_c/Program Files/Brisko Probe/probe";
    WriteProbe(onDisk, "mapped", m_record);
    // Unquoted, the name is found as Windows finds it: the first prefix up to a blank that exists.
    EXPECT_EQ(Run(R"(C:\Program Files\Brisko Probe\probe.exe one  "two three")"),
              (Record{"mapped", onDisk, "one", "two three"}));
    // The sibling program is started as the program folder + "\" + name + ".exe".
    WriteProbe(m_program / "reopener", "sibling", m_record);
    EXPECT_EQ(Run(m_paths.ProgramFolder() + "\\reopener.exe"), (Record{"sibling", m_program / "reopener"}));

    // Shell characters arrive unchanged: no shell reads them.
    const std::string nasty = "a;b|c && rm -rf x $(touch pwned) `id` > f";
    EXPECT_EQ(Run("reopener \"" + nasty + "\" 'q' $HOME *"),
              (Record{"sibling", m_program / "reopener", nasty, "'q'", "$HOME", "*"}));
    // The ended children are reaped.
    EXPECT_TRUE(PollUntil([] { return ChildProcesses(true) == 0; })) << ChildProcesses(true) << " left";
}

TEST_F(ProcessStarterPosixTest, ReportsWhatCannotBeStarted) {
    WriteFileBytes(m_current / "plain.txt", "not a program");
    const std::string notExecutable = "\" could not be started: it is not an executable file.";
    const struct {
        std::string line;
        long code;
        std::string text;
    } cases[] = {
        {"brisko-no-such-program /s web.reg", ENOENT, R"(The program "brisko-no-such-program" could not be found.)"},
        {"./plain.txt", EACCES, "The program \"./plain.txt" + notExecutable},
        {"\"" + m_current.string() + "\"", EACCES, "The program \"" + m_current.string() + notExecutable},
        {"  ", EINVAL, "There is no program to start: the command line is empty."},
    };
    for (const auto& c : cases) {
        const Status status = m_starter.Start(c.line, WindowState::NormalActive);
        EXPECT_EQ(status.code, c.code) << c.line;
        EXPECT_EQ(status.text, c.text) << c.line;
    }
}

// regedit is handed "web.reg" without a folder; it must look where the files lie, not
// where we were started from. The program itself is still found from our folder.
TEST_F(ProcessStarterPosixTest, StartsInTheWorkingFolderGiven) {
    WriteProbe(m_current / "where-probe", "$(pwd -P)", m_record);
    const Record expected{fs::canonical(m_program), m_current / "where-probe"};
    for (const std::string line : {"where-probe", "./where-probe"}) EXPECT_EQ(Run(line, m_program), expected) << line;
    const Status missing = m_starter.Start("where-probe", WindowState::NormalActive, (m_base.Path() / "gone").string());
    EXPECT_EQ(missing.code, ENOENT);
    EXPECT_EQ(missing.text, "The program \"where-probe\" could not be started: the folder \"" +
                                (m_base.Path() / "gone").string() + "\" to start it in does not exist.");
}

// Only Brisko's own regedit knows the emulated registry: one elsewhere (Wine's, on the
// PATH) would report success and change nothing, so it is never started in its place.
TEST_F(ProcessStarterPosixTest, OwnProgramsComeOnlyFromTheProgramFolder) {
    ProcessStarterPosix starter{m_program.string(), &m_paths, {"regedit"}};
    WriteProbe(m_current / "regedit", "current", m_record);
    WriteProbe(m_onPath / "regedit", "wine", m_record);
    for (const std::string name : {"regedit", "REGEDIT.EXE"}) {
        const Status status = starter.Start(name + " /s web.reg", WindowState::NormalActive, m_program.string());
        EXPECT_EQ(status.code, ENOENT) << name;
        EXPECT_EQ(status.text, "Brisko's own program \"" + name + "\" could not be found in \"" + m_program.string() +
                                   "\", where it is delivered; no other program of that name is started in its place.");
    }
    EXPECT_FALSE(fs::exists(m_record));

    WriteProbe(m_program / "regedit", "own", m_record);
    const Status own = starter.Start("Regedit.exe /s web.reg", WindowState::NormalActive);
    ASSERT_TRUE(own.ok()) << own.text;
    ASSERT_TRUE(PollUntil([&] { return fs::exists(m_record); }));
    EXPECT_EQ(ReadFileBytes(m_record).substr(0, 4), std::string("own\0", 4));
}

// The services the program is built with hold to it too: the test programs' folder has
// no regedit, and the one on the PATH is left alone.
TEST_F(ProcessStarterPosixTest, TheProgramsServicesStartNoRegeditButTheirOwn) {
    WriteProbe(m_onPath / "regedit", "wine", m_record);
    ScopedEnv root{"BRISKO_SYSTEM_ROOT", (m_base.Path() / "system").string()};
    const SystemServices services = CreateSystemServices();
    const Status status = services.processes->Start("regedit /s web.reg", WindowState::NormalActive);
    EXPECT_EQ(status.code, ENOENT);
    EXPECT_NE(status.text.find("Brisko's own program \"regedit\""), std::string::npos) << status.text;
    EXPECT_FALSE(fs::exists(m_record));
}

}  // namespace
}  // namespace brisko::test
