// SPDX-License-Identifier: GPL-3.0-or-later
// The history file where only POSIX can make the case: two processes appending at once
// (the Windows build relies on append-only handles the same way), FIFOs and links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "history/history_file.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

TEST(HistoryFile, TwoProgramsAppendingAtOnceNeverInterleave) {
    TempFolder folder;
    constexpr int kEach = 200;
    // Records far larger than any stdio buffer: a record written in pieces would mix.
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            HistoryFile history(folder.path(), "child");
            const std::vector<std::int64_t> ticks(5000, 1000 + child);
            for (int i = 0; i < kEach; ++i)
                if (!history.Append({0, {}, DataTestRecord{"h/x", 1, 1.0 * i, 0, 0, 0, ticks}}).ok()) ::_exit(1);
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const HistoryRead read = HistoryFile(folder.path(), "brisko").Read();
    EXPECT_EQ(read.records.size(), 2u * kEach);
    EXPECT_EQ(read.skipped, 0u);
    for (const HistoryRecord& record : read.records)
        EXPECT_EQ(record.Data()->tickSpeeds, std::vector<std::int64_t>(5000, record.Data()->tickSpeeds[0]));
}

// Only a regular file keeps records: a FIFO or a link to /dev/null is refused, never
// waited on nor written into. A line longer than any record is skipped unread.
TEST(HistoryFile, RefusesWhatIsNotARegularFileAndSkipsHugeLines) {
    TempFolder folder;
    HistoryFile history(folder.path(), "brisko");
    ASSERT_EQ(::mkfifo(history.Location().c_str(), 0600), 0);
    EXPECT_FALSE(history.Append({0, {}, WebTestRecord{"ie", "x", 1}}).ok());
    EXPECT_FALSE(history.Read().status.ok());
    std::filesystem::remove(history.Location());
    std::filesystem::create_symlink("/dev/null", history.Location());
    EXPECT_NE(history.Append({0, {}, WebTestRecord{"ie", "x", 1}}).text.find("not a regular file"), std::string::npos);
    std::filesystem::remove(history.Location());

    WriteFileBytes(history.Location(), std::string(kMaxRecordLine + 1, '[') + "\n");
    ASSERT_TRUE(history.Append({0, {}, WebTestRecord{"ie", "x", 1}}).ok());
    const HistoryRead read = history.Read();
    EXPECT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.skipped, 1u);
}

}  // namespace
}  // namespace brisko::test
