// The Data Speed Tests window end to end: a real socket against brisko-testserver.
#include "speedtest/data_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
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

#include "app/open_external_page.h"
#include "platform/qt/printer_qt.h"
#include "platform/qt/tcp_socket_qt.h"
#include "speedtest/report.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_save_dialog.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"

namespace brisko {
namespace {

class FailingBrowser final : public ExternalBrowser {
public:
    std::unique_ptr<ExternalBrowserWindow> Create(Status* error) override {
        ++created;
        *error = Status::Fail(-1, "No web browser could be started.");
        return nullptr;
    }
    int created = 0;
};

class DataWindowTest : public ::testing::Test {
protected:
    DataWindowTest() {
        context.clock = &clock;
        context.messages = &messages;
        context.sockets = &sockets;
        context.locale = &locale;
        context.saveDialog = &dialog;
        context.printer = &printer;
        context.externalBrowser = &browser;
    }
    ~DataWindowTest() override {
        delete window.data();
        qunsetenv("BRISKO_TEST_SERVER");
    }

    void Open(const QString& server) {
        qputenv("BRISKO_TEST_SERVER", server.toUtf8());
        window = new data(context);
        window->show();
    }
    template <class T = QLabel>
    T* Child(const char* name) const {
        return window->findChild<T*>(name);
    }
    QString Text(const char* label) const { return Child(label)->text(); }
    QAction* Action(const char* name) const { return window->findChild<QAction*>(name); }
    QPushButton* StartButton() const { return Child<QPushButton>("btnStartTest"); }
    bool Shown(const std::string& text) const {
        for (const auto& s : messages.shown)
            if (s.text == text) return true;
        return false;
    }
    int ClientHeight() const { return window->centralWidget()->height(); }

    SystemClock clock;
    test::FakeMessageBox messages;
    TcpSocketFactoryQt sockets;
    test::FakeLocale locale;
    test::FakeSaveDialog dialog;
    QTemporaryDir folder;
    PrinterQt printer{folder.filePath("window.pdf").toStdString()};
    FailingBrowser browser;
    AppContext context;
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
    auto* timer = window->findChild<QTimer*>("Timer1");
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(DataWindowTest, QuickTestRunsToTheResultsAndSavesTheReport) {
    test::TestServerProcess server;
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    EXPECT_EQ(StartButton()->text(), "Stop");
    EXPECT_EQ(ClientHeight(), (5500 - 775) / 15);
    ASSERT_TRUE(test::WaitUntil([&] { return Shown(kDoneText); }, 30000)) << server.Log().toStdString();

    EXPECT_EQ(Text("lblFileSize"), "5120 KB");
    EXPECT_EQ(Text("lblkbSoFar"), "Downloaded - 5120 KB");
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 100%");
    EXPECT_TRUE(Text("lblTotalTime").endsWith(" seconds"));
    EXPECT_TRUE(Child<QWidget>("picTestResults")->isVisible());
    EXPECT_EQ(ClientHeight(), (6820 - 775) / 15);
    EXPECT_TRUE(Action("mnuSave")->isEnabled());
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_FALSE(window->findChild<QTimer*>("Timer1")->isActive());

    Child<QLineEdit>("txtComments")->setText("after the boost");
    dialog.answer = folder.filePath("results").toStdString();
    Action("mnuSave")->trigger();
    EXPECT_TRUE(Shown(kSavedText));
    QFile file(folder.filePath("results.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray report = file.readAll();
    QList<QByteArray> lines = report.split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    lines.removeAll("\r");  // the empty lines after rows 9, 11, 13, 16 and 19
    ASSERT_EQ(lines.size(), 23);
    EXPECT_EQ(lines[8], " Test data size: 5120 KB\r");
    EXPECT_EQ(lines[10], " Total time taken to download: " + Text("lblTotalTime").toUtf8() + "\r");
    EXPECT_EQ(lines[12], " Average speed: " + Text("lblAverageSpeed").toUtf8() + "\r");
    EXPECT_EQ(lines[14], "         Max speed: " + Text("lblMaximumSpeed").toUtf8() + "\r");
    EXPECT_EQ(lines[15], "         Min speed: " + Text("lblMinimumSpeed").toUtf8() + "\r");
    EXPECT_EQ(lines[18], " Comments: after the boost\r");
    EXPECT_EQ(lines[21], "          End Of Test Details\r");
}

TEST_F(DataWindowTest, HeaderSplitOverSeveralWritesStillCompletes) {
    test::TestServerProcess server({"--stream", "300000", "--split-at", "5,11,40,60", "--split-pause", "30"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(test::WaitUntil([&] { return Shown(kDoneText); }, 30000)) << server.Log().toStdString();
    EXPECT_EQ(Text("lblFileSize"), "292 KB");
}

TEST_F(DataWindowTest, MissingFileIsReported) {
    test::TestServerProcess server({"--status", "404"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(test::WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error! File not found."});
    EXPECT_EQ(StartButton()->text(), "Stop");  // left running until Stop
}

TEST_F(DataWindowTest, RefusedConnectionIsReported) {
    Open(QStringLiteral("127.0.0.1:%1").arg(test::UnusedPort()));
    StartButton()->click();
    ASSERT_TRUE(test::WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Error! Your Internet connection may be down. Connection refused"});
}

TEST_F(DataWindowTest, StopLeavesTheLabelsAsTheyWere) {
    test::TestServerProcess server({"--rate", "400k"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(test::WaitUntil([&] { return Text("lblKBSpeed").startsWith("Speed - "); }));
    const char* labels[] = {"lblTime", "lblTotalSize", "lblkbSoFar", "lblkbRemaining",
                            "lblKBMax", "lblKBMin",    "lblKBAvg",   "lblMBEst"};
    QStringList before;
    for (const char* name : labels) before << Text(name);
    const int bar = Child<QProgressBar>("pBar")->value();
    StartButton()->click();
    EXPECT_EQ(StartButton()->text(), "Test Data Speed");
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_FALSE(window->findChild<QTimer*>("Timer1")->isActive());
    ASSERT_TRUE(server.WaitForLog("closed by client"));
    QStringList after;
    for (const char* name : labels) after << Text(name);
    EXPECT_EQ(after, before);
    EXPECT_EQ(Child<QProgressBar>("pBar")->value(), bar);
    EXPECT_FALSE(Action("mnuSave")->isEnabled());
    EXPECT_TRUE(Text("lblkbSoFar") != "Downloaded - 0 KB");
}

TEST_F(DataWindowTest, ClosingTheWindowEndsTheDownload) {
    test::TestServerProcess server({"--rate", "400k"});
    ASSERT_TRUE(server.Started());
    Open(server.Address());
    StartButton()->click();
    ASSERT_TRUE(server.WaitForLog("sending"));
    Action("mnuExit")->trigger();
    ASSERT_TRUE(test::WaitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));
    EXPECT_TRUE(server.WaitForLog("closed by client")) << server.Log().toStdString();
}

TEST_F(DataWindowTest, PrintsAnImageOfTheWindow) {
    Open("127.0.0.1:9");
    Action("mnuPrint")->trigger();
    EXPECT_TRUE(messages.shown.empty());
    QFile pdf(folder.filePath("window.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.contains("/Subtype /Image"));
}

TEST_F(DataWindowTest, FailedPrintIsReported) {
    PrinterQt nowhere(folder.filePath("missing/folder/window.pdf").toStdString());
    context.printer = &nowhere;
    Open("127.0.0.1:9");
    Action("mnuPrint")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("could not be printed"), std::string::npos);
}

TEST_F(DataWindowTest, ThirdPartyPageFailureIsReportedAndTheWindowStays) {
    Open("127.0.0.1:9");
    Action("mnuThird")->trigger();
    EXPECT_EQ(browser.created, 1);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"No web browser could be started."});
    EXPECT_TRUE(window->isVisible());
}

TEST_F(DataWindowTest, BadServerOverrideIsExplained) {
    Open("http://192.168.1.10");
    ASSERT_TRUE(test::WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_NE(messages.shown[0].text.find("BRISKO_TEST_SERVER"), std::string::npos);
    EXPECT_EQ(Child<QRadioButton>("Option2")->property("Tag").toString(), "speedtest.tele2.net/5MB.zip");
}

}  // namespace
}  // namespace brisko
