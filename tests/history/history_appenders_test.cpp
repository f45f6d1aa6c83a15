// Two programs appending to one history at once (POSIX processes; the Windows build
// relies on append-only handles the same way).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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
            const std::string address(20000, static_cast<char>('a' + child));
            for (int i = 0; i < kEach; ++i)
                if (!history.Append({0, {}, WebTestRecord{"ie", address, 1.0 * i}}).ok()) ::_exit(1);
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
        EXPECT_EQ(record.Web()->address.find_first_not_of(record.Web()->address[0]), std::string::npos);
}

}  // namespace
}  // namespace brisko::test
