// The Data Speed Tests window end to end: a real socket against brisko-testserver.
#include "speedtest/data_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/qt/printer_qt.h"
#include "platform/qt/tcp_socket_qt.h"
#include "speedtest/report.h"
#include "tests/support/fake_external_browser.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_save_dialog.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"

namespace brisko::test {
namespace {

class DataWindowTest : public ::testing::Test {
protected:
    DataWindowTest() {
        context = {.clock = &clock, .messages = &messages, .externalBrowser = &browser, .sockets = &sockets,
                   .locale = &locale, .saveDialog = &dialog, .printer = &printer};
    }
    ~DataWindowTest() override {
        delete window.data();
        qunsetenv("BRISKO_TEST_SERVER");
    }

    void Open(const QString& server) {
        delete window.data();
        messages.shown.clear();
        qputenv("BRISKO_TEST_SERVER", server.toUtf8());
        window = new data(context);
        window->show();
    }
    template <class T = QLabel>
    T* Child(const char* name) const {
        return window->findChild<T*>(name);
    }
    QString Text(const char* label) const { return Child(label)->text(); }
    QAction* Action(const char* name) const { return Child<QAction>(name); }
    QPushButton* StartButton() const { return Child<QPushButton>("btnStartTest"); }
    bool Shown(const std::string& text) const {
        const auto texts = messages.Texts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    int ClientHeight() const { return window->centralWidget()->height(); }

    SystemClock clock;
    FakeMessageBox messages;
    TcpSocketFactoryQt sockets;
    FakeLocale locale;
    FakeSaveDialog dialog;
    QTemporaryDir folder;
    PrinterQt printer{folder.filePath("window.pdf").toStdString()};
    FakeExternalBrowser browser;
    DataWindowServices context;
    QPointer<data> window;
};

TEST_F(DataWindowTest, OpensInItsDesignState) {
    Open("127.0.0.1:9");
    EXPECT_EQ(window->windowTitle(), "Data Speed Tests");
    EXPECT_EQ(window->centralWidget()->width(), 426);
    EXPECT_EQ(ClientHeight(), 315);
    const std::pair<const char*, const char*> texts[] = {
        {"Label3", "(Run tests 2 or 3 times to ensure accurate results.)"},
        {"lblTotalSize", "File Size - 0 KB"}, {"lblTime", "Total - N/A"},
        {"lblMBEst", "Est - 0 MB/s"},         {"lblkbSoFar", "Downloaded - 0 KB"},
        {"lblKBSpeed", "Current - 0 KB/s"},   {"lblKBMax", "Max - 0 KB/s"},
        {"lblkbRemaining", "Complete - 0%"},  {"lblKBAvg", "Avg - 0 KB/s"},
        {"lblKBMin", "Min - 0 KB/s"},         {"lblFileSize", "35056 KB"},
        {"lblTotalTime", "31.7 Seconds"},     {"lblAverageSpeed", "1090 KB/s"},
        {"lblMaximumSpeed", "1176 KB/s"},     {"lblMinimumSpeed", "681 KB/s"},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(Text(name), text) << name;
    for (const char* name : kDataControlNames) EXPECT_NE(Child<QWidget>(name), nullptr) << name;
    EXPECT_EQ(Child<QLineEdit>("txtComments")->text(), " - - Type your notes for each test in this box - -");
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_FALSE(Child<QWidget>("picTestResults")->isVisible());
    EXPECT_TRUE(Child<QWidget>("picMain")->isVisible());
    EXPECT_EQ(Child<QProgressBar>("pBar")->value(), 0);

    const std::tuple<const char*, const char*, const char*> options[] = {
        {"Option2", "Quick (4Mb)", "127.0.0.1:9/5MB.zip"},
        {"Option3", "Medium (12Mb)", "127.0.0.1:9/10MB.zip"},
        {"Option1", "Long (35Mb)", "127.0.0.1:9/50MB.zip"},
    };
    for (const auto& [name, caption, tag] : options) {
        auto* option = Child<QRadioButton>(name);
        EXPECT_EQ(option->text(), caption);
        EXPECT_FALSE(option->toolTip().isEmpty());
        EXPECT_EQ(option->property("Tag").toString(), tag);
    }
    EXPECT_TRUE(Child<QRadioButton>("Option2")->isChecked());

    EXPECT_FALSE(Action("mnuSave")->isEnabled());
    EXPECT_TRUE(Action("mnuPrint")->isEnabled());
    EXPECT_TRUE(Action("mnuSpacer1")->isSeparator());
    EXPECT_EQ(Action("mnuExit")->text(), "Close");
    EXPECT_EQ(Action("mnuThird")->text(), "Third Party Online Speed Tests");
    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"Main", "More Speed Tests"}));
    EXPECT_EQ(Child<QTimer>("Timer1")->interval(), 500);
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
}

TEST_F(DataWindowTest, QuickTestRunsToTheResultsAndSavesTheReport) {
    TestServerProcess server;
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    EXPECT_EQ(StartButton()->text(), "Stop");
    EXPECT_EQ(ClientHeight(), (5500 - 775) / 15);
    ASSERT_TRUE(WaitUntil([&] { return Shown(kDoneText); }, 30000)) << server.Log().toStdString();

    EXPECT_EQ(Text("lblFileSize"), "5120 KB");
    EXPECT_EQ(Text("lblkbSoFar"), "Downloaded - 5120 KB");
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 100%");
    EXPECT_TRUE(Text("lblTotalTime").endsWith(" seconds"));
    EXPECT_TRUE(Child<QWidget>("picTestResults")->isVisible());
    EXPECT_EQ(ClientHeight(), (6820 - 775) / 15);
    EXPECT_TRUE(Action("mnuSave")->isEnabled());
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());

    Child<QLineEdit>("txtComments")->setText("after the boost");
    dialog.answer = folder.filePath("results").toStdString();
    Action("mnuSave")->trigger();
    EXPECT_TRUE(Shown(kSavedText));
    QFile file(folder.filePath("results.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    lines.removeAll("\r");  // the empty lines after rows 9, 11, 13, 16 and 19
    ASSERT_EQ(lines.size(), 23);
    const std::pair<int, QString> rows[] = {
        {8, " Test data size: 5120 KB"},
        {10, " Total time taken to download: " + Text("lblTotalTime")},
        {12, " Average speed: " + Text("lblAverageSpeed")},
        {14, "         Max speed: " + Text("lblMaximumSpeed")},
        {15, "         Min speed: " + Text("lblMinimumSpeed")},
        {18, " Comments: after the boost"},
        {21, "          End Of Test Details"},
    };
    for (const auto& [row, text] : rows) EXPECT_EQ(lines[row], text.toUtf8() + "\r") << row;
}

TEST_F(DataWindowTest, AMissingFileAndARefusedConnectionAreReported) {
    TestServerProcess server({"--status", "404"});
    ASSERT_TRUE(server.Started());
    const std::pair<QString, std::string> cases[] = {
        {server.Address(), "Error! File not found."},
        {QStringLiteral("127.0.0.1:%1").arg(UnusedPort()),
         "Error! Your Internet connection may be down. Connection refused"},
    };
    for (const auto& [address, text] : cases) {
        Open(address);
        StartButton()->click();
        ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }));
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{text});
        EXPECT_EQ(StartButton()->text(), "Stop");  // left running until Stop
    }
}

// In HTTP/1.0 a close ends a file sent without a size; with a size, it cuts it short.
TEST_F(DataWindowTest, TheServersCloseEndsOrCutsShortTheTest) {
    {
        TestServerProcess server({"--no-length", "--no-type"});
        ASSERT_TRUE(server.Started());
        Open(server.Address());
        StartButton()->click();
        ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }, 30000)) << server.Log().toStdString();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{kDoneText});
        EXPECT_EQ(Text("lblFileSize"), "5120 KB");
    }
    TestServerProcess server({"--short", "1000"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }, 30000)) << server.Log().toStdString();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error! Your Internet connection may be down. The server "
                                                         "ended the connection after 1000 of 5242880 bytes."});
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
}

TEST_F(DataWindowTest, StopLeavesTheLabelsAsTheyWere) {
    TestServerProcess server({"--rate", "400k"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return Text("lblKBSpeed").startsWith("Speed - "); }));
    const auto labels = [&] {
        QStringList texts{QString::number(Child<QProgressBar>("pBar")->value())};
        for (const char* name : {"lblTime", "lblTotalSize", "lblkbSoFar", "lblkbRemaining", "lblKBMax", "lblKBMin",
                                 "lblKBAvg", "lblMBEst"})
            texts << Text(name);
        return texts;
    };
    const QStringList before = labels();
    StartButton()->click();
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
    ASSERT_TRUE(server.WaitForLog("closed by client"));
    EXPECT_EQ(labels(), before);
    EXPECT_NE(Text("lblkbSoFar"), "Downloaded - 0 KB");
    EXPECT_FALSE(Action("mnuSave")->isEnabled());
}

TEST_F(DataWindowTest, ClosingTheWindowEndsTheDownload) {
    TestServerProcess server({"--rate", "400k"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(server.WaitForLog("sending"));
    Action("mnuExit")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));
    EXPECT_TRUE(server.WaitForLog("closed by client")) << server.Log().toStdString();
}

TEST_F(DataWindowTest, PrintsAnImageOfTheWindowOrSaysWhyNot) {
    Open("127.0.0.1:9");
    Action("mnuPrint")->trigger();
    EXPECT_TRUE(messages.shown.empty());
    QFile pdf(folder.filePath("window.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.contains("/Subtype /Image"));

    PrinterQt nowhere(folder.filePath("missing/folder/window.pdf").toStdString());
    context.printer = &nowhere;
    Open("127.0.0.1:9");
    Action("mnuPrint")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("could not be printed"), std::string::npos);
}

TEST_F(DataWindowTest, FailedThirdPartyPageAndBadServerAreExplained) {
    Open("127.0.0.1:9");
    Action("mnuThird")->trigger();  // someone else's speed test, not the product's own site
    EXPECT_EQ(browser.shownPages, std::vector<std::string>{"https://www.speedtest.net/"});
    browser.failCreate = true;
    Action("mnuThird")->trigger();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Invalid class string"});
    EXPECT_TRUE(window->isVisible());

    Open("http://192.168.1.10");
    ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_NE(messages.shown[0].text.find("BRISKO_TEST_SERVER"), std::string::npos);
    EXPECT_EQ(Child<QRadioButton>("Option2")->property("Tag").toString(), "speedtest.tele2.net/5MB.zip");
}

}  // namespace
}  // namespace brisko::test
