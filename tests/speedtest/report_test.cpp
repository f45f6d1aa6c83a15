#include "speedtest/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_printer.h"
#include "tests/support/fake_save_dialog.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

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

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ReportTest, LinesAreExact) { EXPECT_EQ(BuildReport(Figures(), "24/06/2008", "14:05:09"), kExpected); }

TEST(ReportTest, DefaultCommentKeepsItsBlanks) {
    ReportFields f = Figures();
    f.comments = " - - Type your notes for each test in this box - -";
    EXPECT_NE(BuildReport(f, "d", "t").find("\r\n Comments:  - - Type your notes for each test in this box - -\r\n\r\n"),
              std::string::npos);
}

class SaveReportTest : public ::testing::Test {
protected:
    SaveReportTest() : dir(fs::temp_directory_path() / ("brisko-report-" + std::to_string(::getpid()))) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~SaveReportTest() override { fs::remove_all(dir); }
    void Save() { SaveReport(dialog, locale, messages, Figures()); }

    fs::path dir;
    test::FakeSaveDialog dialog;
    test::FakeLocale locale;
    test::FakeMessageBox messages;
};

TEST_F(SaveReportTest, AppendsToTheNameWithTxtAdded) {
    dialog.answer = (dir / "report.txt").string();
    Save();
    Save();
    EXPECT_FALSE(fs::exists(dir / "report.txt"));
    EXPECT_EQ(ReadAll(dir / "report.txt.txt"), kExpected + kExpected);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "File was saved successfully as a text file!"));
}

TEST_F(SaveReportTest, CancelWritesNothing) {
    Save();
    EXPECT_EQ(dialog.asked, 1);
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SaveReportTest, FailedWriteIsReportedNotCelebrated) {
    dialog.answer = (dir / "missing-folder" / "report").string();
    Save();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text, kSavedText);
    EXPECT_NE(messages.shown[0].text.find("report.txt"), std::string::npos);
    EXPECT_NE(messages.shown[0].text.find("could not be saved"), std::string::npos);
}

TEST(PrintTest, SetsThePageThenPrintsOrSaysWhyNot) {
    test::FakePrinter printer;
    test::FakeMessageBox messages;
    WindowImage image{2, 1, {0xff000000u, 0xffffffffu}};
    PrintTestWindow(printer, messages, image);
    ASSERT_EQ(printer.printed.size(), 1u);
    const PrintSettings& s = printer.printed[0].settings;
    EXPECT_EQ(s.paperSize, 9);
    EXPECT_EQ(s.orientation, 1);
    EXPECT_EQ(s.leftMm, 45.0f);
    EXPECT_EQ(s.topMm, 50.0f);
    EXPECT_TRUE(messages.shown.empty());

    printer.result = Status::Fail(-1, "no printer is set up on this computer");
    PrintTestWindow(printer, messages, image);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("no printer is set up"), std::string::npos);
}

}  // namespace
}  // namespace brisko
