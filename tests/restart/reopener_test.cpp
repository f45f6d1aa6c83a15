// SPDX-License-Identifier: GPL-3.0-or-later
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

// A parent in work/ that starts reopener and ends once released; reopener must wait
// for it (asleep, not having started brisko yet). Returns reopener's exit status.
int RunReopener(const fs::path& root) {
    fs::remove_all(root / "work");
    fs::create_directories(root / "work");
    const std::string script =
        "\"$1\" & echo $! > reopener.pid; while [ ! -e release ]; do sleep 0.01; done; : > parent-ended";
    const pid_t parent = StartProgram("/bin/sh", {"-c", script, "sh", root / "bin/reopener"}, root / "work",
                                      root / "parent.out");
    EXPECT_GT(parent, 0);
    pid_t reopener = -1;
    EXPECT_TRUE(PollUntil([&] {
        reopener = std::stoi("0" + ReadFileBytes(root / "work/reopener.pid"));
        std::error_code ec;
        return fs::read_symlink("/proc/" + std::to_string(reopener) + "/exe", ec) == root / "bin/reopener" &&
               ProcessState(reopener) == 'S';
    }));
    EXPECT_FALSE(fs::exists(root / "started"));
    WriteFileBytes(root / "work/release", "");
    EXPECT_EQ(WaitForExit(parent), 0);
    return WaitForExit(reopener);
}

TEST(Reopener, StartsBriskoFromItsFolderOnceItsParentHasEndedOrReportsWhyNot) {
    TempFolder folder;
    const fs::path root = fs::canonical(folder.Path());
    fs::create_directories(root / "bin");
    fs::copy_file(fs::path(BRISKO_BIN_DIR) / "reopener", root / "bin/reopener");
    // Orphans come back to this test, so reopener's exit status can be read.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    EXPECT_EQ(RunReopener(root), 1) << "no brisko beside it";

    // The stand-in records where and when it ran, and whether it leads its own session.
    WriteFileBytes(root / "bin/brisko",
                   "#!/bin/sh\nset -- $(cut -d')' -f2 /proc/$$/stat)\n"
                   "{ echo \"cwd=$(pwd -P)\"; [ -e parent-ended ] && echo parent=ended; "
                   "echo \"session=$4\"; echo \"pid=$$\"; } > ../started.tmp && "
                   "mv ../started.tmp ../started\n");
    fs::permissions(root / "bin/brisko", fs::perms::owner_all);
    EXPECT_EQ(RunReopener(root), 0);
    ASSERT_TRUE(PollUntil([&] { return fs::exists(root / "started"); }));
    std::map<std::string, std::string> fields;
    std::ifstream in(root / "started");
    for (std::string line; std::getline(in, line);)
        fields[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    EXPECT_EQ(fields["parent"], "ended");
    EXPECT_EQ(fields["cwd"], (root / "work").string());
    EXPECT_EQ(fields["session"], fields["pid"]) << "the new instance leads a session of its own";
}

}  // namespace
}  // namespace brisko::test
