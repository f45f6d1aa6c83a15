// SPDX-License-Identifier: GPL-3.0-or-later
// The Data Speed Tests window end to end: a real socket against brisko-testserver.
#include "speedtest/data_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <map>

#include "platform/qt/printer_qt.h"
#include "platform/qt/tcp_socket_qt.h"
#include "shell/accessible_text.h"
#include "speedtest/report.h"
#include "tests/support/fakes.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

class DataWindowTest : public ::testing::Test {
protected:
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

    SystemClock clock;
    FakeMessageBox messages;
    TcpSocketFactoryQt sockets;
    FakeLocale locale;
    FakeSaveDialog dialog;
    QTemporaryDir folder;
    PrinterQt printer{folder.filePath("window.pdf").toStdString()};
    FakeExternalBrowser browser;
    DataWindowServices context{.clock = &clock, .messages = &messages, .externalBrowser = &browser,
                               .sockets = &sockets, .locale = &locale, .saveDialog = &dialog, .printer = &printer};
    QPointer<data> window;
};

// In HTTP/1.0 a close ends a file sent without a size; with a size, it cuts it short and
// stops the test. A missing file or a refused connection is told and left for Stop. Only
// a finished test shows its results and saves them, until the next one starts.
TEST_F(DataWindowTest, TheServersCloseEndsOrCutsShortTheTest) {
    const std::string down = "Error! Your Internet connection may be down. ";
    const struct {
        QStringList options;  // empty: nothing listens
        std::string shown;
        bool running;
        QString listen = QStringLiteral("127.0.0.1");
    } cases[] = {
        {{"--no-length", "--no-type"}, kDoneText, false},
        {{"--no-length", "--no-type"}, kDoneText, false, QStringLiteral("::1")},
        {{"--short", "1000"}, down + "The server ended the connection after 1000 of 5242880 bytes.", false},
        {{"--status", "404"}, "Error! File not found.", true},
        {{}, down + "Connection refused", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown + " from " + c.listen.toStdString());
        if (c.listen.contains(':') && !HasIpv6Loopback()) {
            std::cout << kNoIpv6 << '\n';
            continue;
        }
        TestServerProcess server(c.options, c.listen);
        ASSERT_TRUE(server.Started());
        Open(c.options.isEmpty() ? QStringLiteral("127.0.0.1:%1").arg(ClosedPort()) : server.Address());
        StartButton()->click();
        EXPECT_EQ(ShownCaption(StartButton()->text()), "Stop");
        EXPECT_EQ(window->centralWidget()->height(), (5500 - 775) / 15);
        ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }, 30000)) << server.Log().toStdString();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.shown});
        EXPECT_EQ(ShownCaption(StartButton()->text()), c.running ? "Stop" : "Test Data Speed");
        const bool done = c.shown == kDoneText;
        EXPECT_EQ(Child<QWidget>("picTestResults")->isVisible(), done);
        EXPECT_EQ(Action("mnuSave")->isEnabled(), done);
        if (!c.running) {
            EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
            EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
        }
        if (!done) continue;
        EXPECT_EQ(Text("lblFileSize"), "5120 KB");
        EXPECT_EQ(Child<QProgressBar>("pBar")->value(), 100);
        EXPECT_EQ(window->centralWidget()->height(), (6820 - 775) / 15);
        Child<QLineEdit>("txtComments")->setText("after the boost");
        dialog.answer = folder.filePath("results").toStdString();
        Action("mnuSave")->trigger();
        EXPECT_TRUE(Shown(kSavedText));
        const std::string saved = ReadFileBytes(folder.filePath("results.txt").toStdString());
        EXPECT_NE(saved.find("\r\n Total time taken to download: " + Text("lblTotalTime").toStdString() + "\r\n"),
                  std::string::npos);
        EXPECT_NE(saved.find("\r\n Comments: after the boost\r\n"), std::string::npos) << saved;

        StartButton()->click();
        EXPECT_FALSE(Child<QWidget>("picTestResults")->isVisible());
        EXPECT_FALSE(Action("mnuSave")->isEnabled());
        EXPECT_EQ(Child<QProgressBar>("pBar")->value(), 0);
    }
}

// Stop and closing the window both end the download; Stop leaves the figures shown.
TEST_F(DataWindowTest, StopAndClosingEndTheDownloadAndStopKeepsTheLabels) {
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
    EXPECT_EQ(ShownCaption(StartButton()->text()), "Test Data Speed");
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
    ASSERT_TRUE(server.WaitForLog("closed by client"));
    EXPECT_EQ(labels(), before);
    EXPECT_NE(Text("lblkbSoFar"), "Downloaded - 0 KB");
    EXPECT_FALSE(Action("mnuSave")->isEnabled());

    StartButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return server.Log().count("sending") >= 2; }));
    Action("mnuExit")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));
    EXPECT_TRUE(WaitUntil([&] { return server.Log().count("closed by client") >= 2; })) << server.Log().toStdString();
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

// Each option fetches its own file from the chosen server, the public one when the choice is bad.
TEST_F(DataWindowTest, FailedThirdPartyPageAndBadServerAreExplained) {
    Open("127.0.0.1:9");
    const std::pair<const char*, const char*> options[] = {
        {"Option2", "127.0.0.1:9/5MB.zip"}, {"Option3", "127.0.0.1:9/10MB.zip"}, {"Option1", "127.0.0.1:9/50MB.zip"}};
    for (const auto& [name, tag] : options) EXPECT_EQ(Child<QRadioButton>(name)->property("Tag").toString(), tag);
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

// A LAN (or this machine) gives speeds of seven digits: each figure of the results panel
// has the room its text needs, beside the captions, never into them, inside the panel.
TEST_F(DataWindowTest, LongFiguresKeepClearOfTheCaptionsBesideThem) {
    Open("127.0.0.1:9");
    DataTestView& view = *window;
    QWidget* panel = Child<QWidget>("picTestResults");
    for (const auto& [speed, size] : {std::pair{"681 KB/s", "5120 KB"}, std::pair{"1234567 KB/s", "51200 KB"},
                                      std::pair{"9876543 KB/s", "5120 KB"}}) {
        SCOPED_TRACE(speed);
        for (DataControl control : {DataControl::lblAverageSpeed, DataControl::lblMaximumSpeed,
                                    DataControl::lblMinimumSpeed})
            view.SetText(control, speed);
        view.SetText(DataControl::lblFileSize, size);
        view.SetResultsVisible(true);
        // Each text's extent on its row, from its label's left edge.
        std::map<int, std::vector<std::pair<int, int>>> rows;
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            const int needs = label->fontMetrics().horizontalAdvance(label->text());
            const QRect place = label->geometry();
            EXPECT_LE(needs, place.width()) << label->text().toStdString();
            EXPECT_LE(place.left() + needs, panel->width()) << label->text().toStdString();
            rows[place.top()].push_back({place.left(), place.left() + needs});
        }
        for (auto& [top, extents] : rows) {
            std::sort(extents.begin(), extents.end());
            for (std::size_t i = 1; i < extents.size(); ++i)
                EXPECT_LT(extents[i - 1].second, extents[i].first) << "row at " << top;
        }
    }
}

}  // namespace
}  // namespace brisko::test
