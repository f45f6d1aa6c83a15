// SPDX-License-Identifier: GPL-3.0-or-later
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
    const std::string report = BuildReport(Figures(), locale.ShortDateToday(), locale.LongTimeNow());
    EXPECT_EQ(ReadFileBytes(dir / "report.txt.txt"), report + report);
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
