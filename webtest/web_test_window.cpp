// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/web_test_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "shell/desktop_font.h"
#include "shell/gradient_button.h"
#include "shell/product_palette.h"
#include "shell/window_instances.h"
#include "platform/qt/browser_engine_qt.h"
#include "speedtest/download_files.h"
#include "webtest/control_profile.h"
#include "webtest/firefox_command.h"
#include "webtest/start_page.h"
#include "webtest/web_test_texts.h"

namespace brisko {

namespace {

const char kExternalTipIe[] =
    "Use this if you want to see the Web page opened in the external Internet Explorer Browser. NOTE - you "
    "will need to clear the cache using the normal Internet Explorer procedures.";
const char kExternalTipFirefox[] =
    "Use this if you want to see the Web page opened in the external Firefox Browser. NOTE - you will need to "
    "clear the cache using the normal Mozilla Firefox procedures.";
const char kAddressTip[] =
    "Enter any web site or web address in here. For best test speed comparisons use large web pages with "
    "many graphics and/or busy content.";
const char kRefreshTip[] =
    "Click this button to open the Web page from the Web site again. NOTE - This button does NOT use any "
    "cached files or temporary Internet files.";
const char kTestTip[] =
    "This opens the Web page entered in the field below. (NOTE - this test will load the Web page from the "
    "Web site, not from the system cache, every 1st time you run this test. You can use the Refresh button "
    "to load the page again from the Web site.)";

QWidget* EngineWidget(BrowserEngine* engine) {
    auto* view = dynamic_cast<QtEngineView*>(engine);
    return view ? view->Widget() : nullptr;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

}  // namespace

WebTestWindow::WebTestWindow(const WebTestWindowServices& services, const QString& objectName,
                             const QString& caption)
    : FormWindow(objectName), m_services(services) {
    setWindowTitle(caption);
}

void WebTestWindow::BuildControls(QWidget* engineView, const char* engineName, const QString& engineLabel,
                                  const QString& externalTip) {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFont(DesktopFont("MS Sans Serif", 8.25));
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);

    auto* banner = new QHBoxLayout();
    auto* label4 = new QLabel("Web Speed Test", client);
    label4->setObjectName("Label4");
    QFont bannerFont = label4->font();
    bannerFont.setPointSizeF(DesktopPoints(16));
    bannerFont.setBold(true);
    label4->setFont(bannerFont);
    SetAccentText(label4, QColor(200, 0, 0));
    auto* label3 = new QLabel("Brisko", client);
    label3->setObjectName("Label3");
    label3->hide();
    banner->addWidget(label4);
    banner->addWidget(label3);
    banner->addStretch();
    layout->addLayout(banner);

    auto* frame1 = new QGroupBox("Show Current Web Browsing Speed", client);
    frame1->setObjectName("Frame1");
    auto* grid = new QGridLayout(frame1);
    auto* label5 = new QLabel("A&ddress", frame1);
    label5->setObjectName("Label5");
    const TestPageAddress page = DefaultTestPage(std::getenv(kTestServerVariable));
    m_txtURL = new QLineEdit(QString::fromStdString(page.address), frame1);
    m_addressProblem = page.problem;
    m_txtURL->setObjectName("txtURL");
    m_txtURL->setToolTip(kAddressTip);
    label5->setBuddy(m_txtURL);
    m_txtURL->setAccessibleName("Address");
    m_txtURL->setAccessibleDescription("The web page the test opens");
    m_btnTest = new GradientButton("btnOpenURLInWebbrowserControl", "&Web Speed Test", frame1);
    m_btnTest->setToolTip(kTestTip);
    m_btnTest->SetRedText(true);
    SetDefaultButton(m_btnTest);  // Return in the address box runs the test
    m_btnTest->setMinimumHeight(Scaled(34));
    m_btnRefresh = new GradientButton("btnrefresh", "&Refresh From Web Site", frame1);
    m_btnRefresh->setToolTip(kRefreshTip);
    m_btnRefresh->setMinimumHeight(Scaled(34));
    m_btnExternal = new GradientButton("btnExternal", "Open in &External Window", frame1);
    m_btnExternal->setToolTip(externalTip);
    m_btnExternal->setMinimumHeight(Scaled(34));
    grid->addWidget(m_btnTest, 0, 0);
    grid->addWidget(m_btnRefresh, 0, 1);
    grid->addWidget(m_btnExternal, 0, 2);
    grid->addWidget(label5, 1, 0, 1, 3);
    grid->addWidget(m_txtURL, 2, 0, 1, 3);
    layout->addWidget(frame1);

    auto* frame5 = new QGroupBox("Status", client);
    frame5->setObjectName("Frame5");
    auto* statusLayout = new QVBoxLayout(frame5);
    m_progressBar1 = new QProgressBar(frame5);
    m_progressBar1->setObjectName("ProgressBar1");
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setAccessibleName("Page loading");
    m_progressBar1->setAccessibleDescription("How far the test page has loaded");
    statusLayout->addWidget(m_progressBar1);
    m_picani = new QLabel("Web Browser Ready", frame5);
    m_picani->setObjectName("picani");
    m_picani->setWordWrap(true);  // a verdict with its interval and counts takes more than a line
    // Its line is kept while hidden, so showing a comparison moves nothing else.
    QSizePolicy policy = m_picani->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_picani->setSizePolicy(policy);
    m_picani->hide();
    m_picani->setAccessibleDescription("Status");
    statusLayout->addWidget(m_picani);
    layout->addWidget(frame5);

    QWidget* view = engineView;
    if (!view) {
        auto* placeholder = new QFrame(client);
        placeholder->setFrameShape(QFrame::StyledPanel);
        view = placeholder;
    }
    view->setObjectName(engineName);
    view->setAccessibleName("Web page");
    view->setAccessibleDescription(engineLabel);
    layout->addWidget(view, 1);
    // The view an earlier opening left comes hidden: unshown, no page appears, and the
    // engine, taking the page for one in the background, fetches half as many parts at once.
    view->show();

    auto* label6 = new QLabel(engineLabel, client);
    label6->setObjectName("Label6");
    layout->addWidget(label6);

    // Kept as the window always had it: a blink timer that nothing starts.
    m_timer3 = new QTimer(this);
    m_timer3->setObjectName("Timer3");
    m_timer3->setInterval(300);

    QMenu* mnuMain = menuBar()->addMenu("&Main");
    mnuMain->setObjectName("mnuMain");
    connect(AddItem(mnuMain, "mnuExit", "E&xit"), &QAction::triggered, this,
            [this] { m_services.windows->Unload(objectName().toStdString()); });

    // Opened at the size brisko-cli gives its views; the user may make it smaller.
    view->setFixedSize(kEngineViewSize);
    adjustSize();
    view->setMinimumSize(640, 360);
    view->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

WebTestServices WebTestWindow::Services() const {
    WebTestServices services;
    services.clock = m_services.clock;
    services.waiter = m_services.waiter;
    services.pump = m_services.pump;
    services.messages = m_services.messages;
    services.decimalPoint =
        m_services.locale ? m_services.locale->DecimalSeparator() : QLocale().decimalPoint().toStdString();
    services.history = m_services.history;
    return services;
}

WebTestView WebTestWindow::View() {
    WebTestView view;
    view.address = [this] { return m_txtURL->text().toStdString(); };
    view.showBar = [this](const ProgressBarModel& bar) {
        m_progressBar1->setRange(bar.min, bar.max);
        m_progressBar1->setValue(bar.value);
    };
    view.setTiming = [this](bool timing) {
        m_btnTest->setEnabled(!timing);
        m_btnRefresh->setEnabled(!timing);
    };
    view.showMain = [this] { m_services.windows->Show("main"); };
    view.showStatus = [this](const std::string& text) {
        m_picani->setText(QString::fromStdString(text));
        m_picani->show();
    };
    view.setWaitCursor = [this](bool wait) {
        if (wait)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    };
    return view;
}

void WebTestWindow::ReportAddressProblem() {
    // Once the window is up: the engine's first page pumps events while it is being made.
    if (!m_addressProblem.empty())
        QTimer::singleShot(0, this, [this, problem = m_addressProblem] { m_services.messages->Show(problem); });
}

void WebTestWindow::closeEvent(QCloseEvent* event) {
    if (WebTestBase* test = Test()) test->Close();
    FormWindow::closeEvent(event);
}

frmbrowser::frmbrowser(const WebTestWindowServices& services)
    : WebTestWindow(services, "frmbrowser", "Internet Explorer Browser") {
    Status error;
    m_engine = services.browserEngines->CreateIeEngine(&error);
    BuildControls(EngineWidget(m_engine.get()), "WebBrowser1", "Using Genuine Microsoft Internet Explorer Browser Engine",
                  kExternalTipIe);
    m_test = std::make_unique<IeWebTest>(*m_engine, services.externalBrowser, Services(), View());

    QMenu* firefox = menuBar()->addMenu("&FireFox Users");
    firefox->setObjectName("firefox");
    connect(AddItem(firefox, "firefoxspeed", "&FireFox Speed Test"), &QAction::triggered, this, [this] {
        m_services.windows->Show("firebrowser");
        m_services.windows->Unload("frmbrowser");
    });
    connect(m_btnTest, &QPushButton::clicked, this, [this] { m_test->Test(); });
    connect(m_btnRefresh, &QPushButton::clicked, this, [this] { m_test->Refresh(); });
    connect(m_btnExternal, &QPushButton::clicked, this, [this] { m_test->OpenExternal(); });

    m_test->Load();
    ReportAddressProblem();
}

frmbrowser::~frmbrowser() {
    m_test.reset();  // the logic holds the engine; both go before the widgets
    m_engine.reset();
}

firebrowser::firebrowser(const WebTestWindowServices& services)
    : WebTestWindow(services, "firebrowser", "Firefox Browser") {
    std::string problem;
    const std::string profile = MozillaEngineProfile(
        *services.registry, *services.paths,
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString() + "/mozillaControl", &problem);
    // The engine still runs, on a profile of its own that no boost will find.
    if (!problem.empty()) services.messages->Show(problem);
    Status error;
    m_engine = services.browserEngines->CreateMozillaEngine(profile, &error);
    BuildControls(EngineWidget(m_engine.get()), "MozillaBrowser1", "Using Genuine Mozilla Firefox Browser Engine",
                  kExternalTipFirefox);
    m_test = std::make_unique<MozillaWebTest>(*m_engine, *services.syncHttp, Services(), View());

    QMenu* ieUsers = menuBar()->addMenu("&Internet Explorer Users");
    ieUsers->setObjectName("IEusers");
    connect(AddItem(ieUsers, "IEspeedtest", "&Internet Explorer Speed Test"), &QAction::triggered, this, [this] {
        m_services.windows->Show("frmbrowser");
        m_services.windows->Unload("firebrowser");
    });
    connect(m_btnTest, &QPushButton::clicked, this, [this] { m_test->Test(); });
    connect(m_btnRefresh, &QPushButton::clicked, this, [this] { m_test->Refresh(); });
    connect(m_btnExternal, &QPushButton::clicked, this, [this] {
        OpenInFirefox(*m_services.registry, *m_services.processes, *m_services.messages, m_txtURL->text().toStdString());
    });

    m_test->Load();
    ReportAddressProblem();
}

firebrowser::~firebrowser() {
    m_test.reset();
    m_engine.reset();
}

}  // namespace brisko
