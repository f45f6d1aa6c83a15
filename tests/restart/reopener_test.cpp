// reopener end to end: a stand-in parent starts it beside a stand-in brisko script.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

class Reopener : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root / "work");
        fs::create_directories(m_root / "bin");
        fs::copy_file(fs::path(BRISKO_BIN_DIR) / "reopener", m_root / "bin/reopener");
        // Orphans come back to this test, so reopener's exit status can be read.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }
    void TearDown() override {
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }

    // The stand-in records where and when it ran, and whether it leads its own session.
    void WriteStandIn() {
        WriteFileBytes(m_root / "bin/brisko",
                       "#!/bin/sh\nset -- $(cut -d')' -f2 /proc/$$/stat)\n"
                       "{ echo \"cwd=$(pwd -P)\"; [ -e parent-ended ] && echo parent=ended; "
                       "echo \"session=$4\"; echo \"pid=$$\"; } > ../started.tmp && mv ../started.tmp ../started\n");
        fs::permissions(m_root / "bin/brisko", fs::perms::owner_all);
    }

    // A parent in work/ that starts reopener and ends once released; then waits
    // until reopener sleeps (one that did not wait would have started the stand-in).
    void StartParent() {
        m_parent = StartProgram("/bin/sh",
                                {"-c",
                                 "\"$1\" & echo $! > reopener.pid; while [ ! -e release ]; do sleep 0.01; done; "
                                 ": > parent-ended",
                                 "sh", m_root / "bin/reopener"},
                                m_root / "work", m_root / "parent.out");
        ASSERT_GT(m_parent, 0);
        ASSERT_TRUE(PollUntil([&] { return fs::exists(m_root / "work/reopener.pid"); }));
        ASSERT_TRUE(PollUntil([&] {
            m_reopener = std::stoi("0" + ReadFileBytes(m_root / "work/reopener.pid"));
            std::error_code ec;
            return fs::read_symlink("/proc/" + std::to_string(m_reopener) + "/exe", ec) == m_root / "bin/reopener" &&
                   ProcessState(m_reopener) == 'S';
        }));
        EXPECT_FALSE(fs::exists(m_root / "started"));
        WriteFileBytes(m_root / "work/release", "");
        EXPECT_EQ(WaitForExit(m_parent), 0);
    }

    TempFolder m_folder;
    fs::path m_root = fs::canonical(m_folder.Path());
    pid_t m_parent = -1, m_reopener = -1;
};

TEST_F(Reopener, StartsBriskoFromItsFolderOnceItsParentHasEnded) {
    WriteStandIn();
    StartParent();
    ASSERT_TRUE(PollUntil([&] { return fs::exists(m_root / "started"); }));
    std::map<std::string, std::string> fields;
    std::ifstream in(m_root / "started");
    for (std::string line; std::getline(in, line);)
        fields[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    EXPECT_EQ(fields["parent"], "ended");
    EXPECT_EQ(fields["cwd"], (m_root / "work").string());
    EXPECT_EQ(fields["session"], fields["pid"]) << "the new instance leads a session of its own";
    EXPECT_EQ(WaitForExit(m_reopener), 0);
}

TEST_F(Reopener, ReportsABriskoThatCannotBeStarted) {
    StartParent();
    EXPECT_EQ(WaitForExit(m_reopener), 1);
}

}  // namespace
}  // namespace brisko::test
