#include "platform/posix/process_start_posix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/posix/paths_posix.h"
#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

// A program that writes its tag, the path it was started by and its arguments,
// each ended by a NUL byte, to `out`, completing the file in one rename.
void WriteProbe(const fs::path& file, const std::string& tag, const fs::path& out) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\nprintf '%s\\0' '" << tag << "' \"$0\" \"$@\" > '" << out.string()
                        << ".tmp' && mv '" << out.string() << ".tmp' '" << out.string() << "'\n";
    fs::permissions(file, fs::perms::owner_all);
}

std::vector<std::string> ReadRecord(const fs::path& out) {
    std::ifstream in(out, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(all.substr(start, end - start));
    return fields;
}

class ProcessStarterPosixTest : public testing::Test {
protected:
    void SetUp() override {
        for (const fs::path& folder : {m_program, m_current, m_onPath, m_out, m_root}) fs::create_directories(folder);
        m_oldCurrent = fs::current_path();
        fs::current_path(m_current);
        if (const char* path = std::getenv("PATH")) m_oldPath = path;
        setenv("PATH", (m_onPath.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(m_oldCurrent);
        setenv("PATH", m_oldPath.c_str(), 1);
    }

    // Starts the line and waits for the probe's record in m_out/name.
    std::vector<std::string> Run(const std::string& line, const std::string& name) {
        const fs::path out = m_out / name;
        const Status status = m_starter.Start(line, WindowState::MinimizedActive);
        EXPECT_TRUE(status.ok()) << line << ": " << status.text;
        if (!status.ok()) return {};
        EXPECT_TRUE(test::PollUntil([&] { return fs::exists(out); })) << line;
        std::vector<std::string> record = ReadRecord(out);
        fs::remove(out);
        return record;
    }

    test::TempFolder m_base;
    fs::path m_program = m_base.Path() / "pro gram";  // a blank, as in "Program Files"
    fs::path m_current = m_base.Path() / "current";
    fs::path m_onPath = m_base.Path() / "on path";
    fs::path m_out = m_base.Path() / "out";
    fs::path m_root = m_base.Path() / "root";
    PathMapperPosix m_paths{m_root.string(), m_program.string()};
    ProcessStarterPosix m_starter{m_program.string(), &m_paths};
    fs::path m_oldCurrent;
    std::string m_oldPath;
};

TEST_F(ProcessStarterPosixTest, SearchesProgramFolderThenCurrentFolderThenPath) {
    WriteProbe(m_program / "brisko-probe", "program", m_out / "rec");
    WriteProbe(m_current / "brisko-probe", "current", m_out / "rec");
    WriteProbe(m_onPath / "brisko-probe", "path", m_out / "rec");

    EXPECT_EQ(Run("brisko-probe.exe /s web.reg", "rec"),
              (std::vector<std::string>{"program", (m_program / "brisko-probe").string(), "/s", "web.reg"}));

    // A file that cannot be executed is passed over.
    fs::permissions(m_program / "brisko-probe", fs::perms::owner_read | fs::perms::owner_write);
    std::vector<std::string> record = Run("brisko-probe", "rec");
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record[0], "current");
    EXPECT_EQ(record[1], (m_current / "brisko-probe").string());

    fs::remove(m_current / "brisko-probe");
    record = Run("brisko-probe.exe", "rec");
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record[0], "path");
}

TEST_F(ProcessStarterPosixTest, ShellCharactersArriveUnchangedAndRunNothing) {
    WriteProbe(m_onPath / "brisko-probe", "path", m_out / "rec");
    fs::create_directories(m_current / "x");
    const std::string nasty = "a;b|c && rm -rf x $(touch pwned) `id` > f";

    const std::vector<std::string> record = Run("brisko-probe \"" + nasty + "\" 'q' $HOME *", "rec");
    EXPECT_EQ(record, (std::vector<std::string>{"path", (m_onPath / "brisko-probe").string(), nasty, "'q'", "$HOME", "*"}));
    EXPECT_TRUE(fs::exists(m_current / "x"));
    EXPECT_FALSE(fs::exists(m_current / "pwned"));
    EXPECT_FALSE(fs::exists(m_current / "f"));
}

TEST_F(ProcessStarterPosixTest, WindowsPathsGoThroughThePathMapping) {
    WriteProbe(m_root / "drive_c/Program Files/Brisko Probe/probe", "mapped", m_out / "rec");
    const std::string onDisk = (m_root / "drive_c/Program Files/Brisko Probe/probe").string();

    EXPECT_EQ(Run(R"("c:\program files\BRISKO PROBE\probe.exe" http://127.0.0.1/a b)", "rec"),
              (std::vector<std::string>{"mapped", onDisk, "http://127.0.0.1/a", "b"}));
    // Unquoted, the name is found as Windows finds it: the first prefix up to a blank that exists.
    EXPECT_EQ(Run(R"(C:\Program Files\Brisko Probe\probe.exe one  "two three")", "rec"),
              (std::vector<std::string>{"mapped", onDisk, "one", "two three"}));

    // The sibling program is started as the program folder + "\" + name + ".exe".
    WriteProbe(m_program / "reopener", "sibling", m_out / "rec");
    const std::vector<std::string> record = Run(m_paths.ProgramFolder() + "\\reopener.exe", "rec");
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1], (m_program / "reopener").string());
}

TEST_F(ProcessStarterPosixTest, ReportsWhatCannotBeStarted) {
    std::ofstream(m_current / "plain.txt") << "not a program";
    const struct {
        std::string line;
        long code;
        std::string text;
    } cases[] = {
        {"brisko-no-such-program /s web.reg", ENOENT, R"(The program "brisko-no-such-program" could not be found.)"},
        {R"(Not Found http://127.0.0.1/)", ENOENT, R"(The program "Not" could not be found.)"},
        {R"(C:\missing\app.exe)", ENOENT, R"(The program "C:\missing\app.exe" could not be found.)"},
        {"./plain.txt", EACCES, R"(The program "./plain.txt" could not be started: it is not an executable file.)"},
        {"\"" + m_current.string() + "\"", EACCES,
         "The program \"" + m_current.string() + "\" could not be started: it is not an executable file."},
        {"  ", EINVAL, "There is no program to start: the command line is empty."},
    };
    for (const auto& c : cases) {
        const Status status = m_starter.Start(c.line, WindowState::NormalActive);
        EXPECT_EQ(status.code, c.code) << c.line;
        EXPECT_EQ(status.text, c.text) << c.line;
    }
}

TEST_F(ProcessStarterPosixTest, EndedChildrenAreReaped) {
    WriteProbe(m_program / "brisko-probe", "program", m_out / "rec");
    for (int i = 0; i < 3; ++i) ASSERT_FALSE(Run("brisko-probe " + std::to_string(i), "rec").empty());
    EXPECT_TRUE(test::PollUntil([] { return test::ChildProcesses(true) == 0; })) << test::ChildProcesses(true) << " children left";
}

}  // namespace
}  // namespace brisko
