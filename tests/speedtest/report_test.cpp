#include "speedtest/report.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

ReportFields Figures() {
    return {"4096 KB", "4 seconds", "1024 KB/s", "1239 KB/s", "681 KB/s", ""};
}

const std::string kExpected =
    "---------------------------------------\r\n"
    "             Brisko\r\n"
    "   Internet Speed Booster\r\n"
    "                v3.0\r\n"
    " \r\n"
    "   Saved on, 24/06/2008 at, 14:05:09\r\n"
    "---------------------------------------\r\n"
    " \r\n"
    " Test data size: 4096 KB\r\n\r\n"
    " \r\n"
    " Total time taken to download: 4 seconds\r\n\r\n"
    " \r\n"
    " Average speed: 1024 KB/s\r\n\r\n"
    " \r\n"
    "         Max speed: 1239 KB/s\r\n"
    "         Min speed: 681 KB/s\r\n\r\n"
    " \r\n"
    " \r\n"
    " Comments: \r\n\r\n"
    " \r\n"
    "---------------------------------------\r\n"
    "          End Of Test Details\r\n"
    "---------------------------------------\r\n";

TEST(ReportTest, LinesAreExactAndTheDefaultCommentKeepsItsBlanks) {
    EXPECT_EQ(BuildReport(Figures(), "24/06/2008", "14:05:09"), kExpected);
    ReportFields f = Figures();
    f.comments = " - - Type your notes for each test in this box - -";
    EXPECT_NE(BuildReport(f, "d", "t").find("\r\n Comments:  - - Type your notes for each test in this box - -\r\n\r\n"),
              std::string::npos);
}

TEST(SaveReportTest, AppendsToTheNameWithTxtAddedAndReportsWhatWentWrong) {
    TempFolder dir;
    FakeSaveDialog dialog;
    FakeLocale locale;
    FakeMessageBox messages;
    const auto save = [&](std::optional<std::string> answer) {
        dialog.answer = std::move(answer);
        messages.shown.clear();
        SaveReport(dialog, locale, messages, Figures());
    };
    save(std::nullopt);  // cancelled: writes nothing, says nothing
    EXPECT_EQ(dialog.asked, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_TRUE(messages.shown.empty());

    save(dir / "report.txt");
    save(dir / "report.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "report.txt"));
    EXPECT_EQ(ReadFileBytes(dir / "report.txt.txt"), kExpected + kExpected);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kSavedText});

    save(dir / "missing-folder/report");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("could not be saved in " + dir / "missing-folder/report.txt"),
              std::string::npos)
        << messages.shown[0].text;

#ifndef _WIN32  // FIFOs and /dev/null are POSIX's
    // A FIFO would hang the window; a device would swallow the report and say "saved".
    ASSERT_EQ(mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir / "null.txt");
    for (const char* name : {"pipe", "null"}) {
        save(dir / name);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].text.find("not a regular file"), std::string::npos) << messages.shown[0].text;
    }
#endif
}

}  // namespace
}  // namespace brisko::test
