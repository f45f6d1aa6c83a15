// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>

#include "app/artwork.h"
#include "shell/artwork_label.h"
#include "shell/desktop_font.h"
#include "shell/gradient_button.h"
#include "shell/accessible_text.h"
#include "shell/open_external_page.h"
#include "shell/product_palette.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"

namespace brisko {

namespace {

// Sets the text colour while enabled; the disabled look stays the usual grey.
void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) pal.setColor(group, QPalette::WindowText, colour);
    widget->setPalette(pal);
}

void SetRedText(QWidget* widget) { SetTextColour(widget, QColor(200, 0, 0)); }

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                 bool red = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(Scaled(geometry));
    // Black unless red: a red frame caption must not colour the labels inside.
    SetTextColour(label, red ? QColor(200, 0, 0) : QColor(Qt::black));
    return label;
}

QGroupBox* AddFrame(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    bool redCaption = false) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    frame->setGeometry(Scaled(geometry));
    if (redCaption) SetRedText(frame);
    return frame;
}

GradientButton* AddButton(QWidget* parent, const char* name, const QString& caption,
                          const QString& tip, QRect geometry, bool red = false) {
    auto* button = new GradientButton(name, caption, parent);
    button->setToolTip(tip);
    button->setGeometry(Scaled(geometry));
    button->SetRedText(red);
    return button;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction* AddSeparator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

// The controls that stay disabled until a web test window has been launched,
// in the order the launchers enable them.
const char* const kBoostControls[] = {"btnProBoost", "Frame1",  "Frame4",  "Check1",  "Frame9",
                                      "btnRestore",  "btnBoost", "Label12", "Label3",  "Label23",
                                      "Label24",     "Label19",  "Label20"};

// The History and Network Quality windows came later than the others, so they go last.
const char* const kExitOrder[] = {"Formserial", "toptip", "restart", "Restart3", "frmbrowser",
                                  "Help",       "data",   "main",    "firebrowser", "history",
                                  "quality"};

}  // namespace

main::main(const ShellServices& services, Handlers handlers)
    : FormWindow("main"), m_services(services), m_handlers(std::move(handlers)) {
    setWindowTitle("Brisko");
    BuildControls();
    BuildMenus();
}

void main::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(Scaled(QSize(426, 499)));
    UseProductPalette(client, kWindowColour);
    QPalette pal = client->palette();
    // Greyed texts must stay readable on the blue.
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(112, 112, 150));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(112, 112, 150));
    client->setPalette(pal);
    // MS Sans Serif 8 pt (11 px at 96 dpi) on a 9 pt desktop.
    client->setFont(DesktopFont("MS Sans Serif", 8.25));
    setCentralWidget(client);

    const QRect logoPlace = Scaled(QRect(6, 6, 121, 33)), speedometerPlace = Scaled(QRect(6, 44, 121, 112));
    auto* picture1 = new ArtworkLabel(
        logoPlace.size(), [](QSize size, qreal ratio) { return DrawLogo(size, kWindowColour, ratio); }, client);
    picture1->setObjectName("Picture1");
    picture1->setGeometry(logoPlace);
    picture1->setAccessibleName("Brisko");
    picture1->setAccessibleDescription("The Brisko logo");
    auto* image1 = new ArtworkLabel(
        speedometerPlace.size(), [](QSize size, qreal ratio) { return DrawSpeedometer(size, kWindowColour, ratio); },
        client);
    image1->setObjectName("Image1");
    image1->setGeometry(speedometerPlace);
    image1->setAccessibleName("Speedometer");
    image1->setAccessibleDescription("A speedometer with its needle near the top of the scale");

    QGroupBox* frame3 = AddFrame(client, "Frame3", "Get Ready to Boost Your Speed ! ", {137, 2, 281, 160});
    AddLabel(frame3, "Label17", "Before you can apply the boost....", {10, 20, 261, 16}, true);
    AddLabel(frame3, "Label18", "... the Web Speed Test must be done.", {10, 38, 261, 16});
    AddLabel(frame3, "Label21",
             "Choose your button below and click the red 'Web Speed Test' button in next window.",
             {10, 58, 261, 32});
    const QString testTip =
        "This button tests your real Web browsing speed experience when using %1 . The test times "
        "how long it takes to open a Web page from the Internet. After applying the Brisko boost "
        "you can run the test again and compare the time difference.";
    GradientButton* command1 = AddButton(frame3, "Command1", "&Internet Explorer Users",
                                         testTip.arg("Internet Explorer"), {10, 102, 125, 44}, true);
    SetDefaultButton(command1);
    GradientButton* btnfire = AddButton(frame3, "btnfire", "&Firefox Users", testTip.arg("Mozilla Firefox"),
                                        {146, 102, 125, 44}, true);

    QGroupBox* frame4 = AddFrame(client, "Frame4", "Optimize and Boost Your Internet Speed", {9, 168, 409, 145});
    AddLabel(frame4, "Label12", "Go back to the original Windows and Browser settings.", {10, 20, 185, 30});
    GradientButton* btnRestore =
        AddButton(frame4, "btnRestore", "&Original Windows Settings",
                  "Undo the Brisko boost changes and go back to the original Windows settings.",
                  {10, 54, 185, 34});
    AddLabel(frame4, "Label3", "Boost Windows and your Browser for faster Internet performance.",
             {214, 20, 185, 30});
    GradientButton* btnBoost =
        AddButton(frame4, "btnBoost", "Apply Brisko &Boost",
                  "Optimize and boost Windows to get faster performance from your Internet connection.",
                  {214, 54, 185, 34});
    QGroupBox* frame1 = AddFrame(frame4, "Frame1", "No Broadband?", {10, 94, 389, 44});
    auto* check1 = new QCheckBox("I only have a standard Dial-&Up modem", frame1);
    check1->setObjectName("Check1");
    check1->setGeometry(Scaled(QRect(10, 18, 360, 20)));

    QGroupBox* frame9 = AddFrame(client, "Frame9", "Pro Boost", {9, 320, 409, 153}, true);
    AddLabel(frame9, "Label20",
             "Apply the Pro Boost and take that leap into the world beyond the 'Normal' Boost.",
             {10, 20, 389, 30}, true);
    AddLabel(frame9, "Label23",
             "The Pro Boost button can deliver even better performance from your Broadband than the "
             "standard Brisko boost, but it is really intended for Users and Gamers who have 1Mb or "
             "faster Broadband connections.",
             {10, 52, 389, 44});
    GradientButton* btnProBoost =
        AddButton(frame9, "btnProBoost", "&Pro Boost",
                  "The Pro Boost button can deliver even better performance from Broadband connections, "
                  "but it is really intended for users and Gamers who have 1Mb or faster Broadband "
                  "connections.",
                  {10, 102, 150, 40}, true);
    AddLabel(frame9, "Label19", "However, anyone with any speed can safely try it.", {172, 96, 227, 28});
    AddLabel(frame9, "Label24", "See your Broadband go beyond the 'Normal' boost: go Pro.", {172, 124, 227, 26});

    m_boostButtons[static_cast<int>(BoostButton::btnBoost)] = btnBoost;
    m_boostButtons[static_cast<int>(BoostButton::btnProBoost)] = btnProBoost;
    m_boostButtons[static_cast<int>(BoostButton::btnRestore)] = btnRestore;
    m_check1 = check1;
    for (const char* name : kBoostControls) {
        QWidget* control = client->findChild<QWidget*>(name);
        control->setEnabled(false);
        m_boostControls.push_back(control);
    }

    auto call = [](const std::function<void()>& f) {
        return [f] {
            if (f) f();
        };
    };
    connect(btnBoost, &QPushButton::clicked, this, call(m_handlers.boost));
    connect(btnProBoost, &QPushButton::clicked, this, call(m_handlers.proBoost));
    connect(btnRestore, &QPushButton::clicked, this, call(m_handlers.restore));
    auto launch = [this](const std::function<bool()>& f) {
        return [this, f] {
            QPointer<main> self(this);  // the launch shows a modal hint; we may be closed meanwhile
            if (f && f() && self) EnableBoostControls();
        };
    };
    connect(command1, &QPushButton::clicked, this, launch(m_handlers.command1));
    connect(btnfire, &QPushButton::clicked, this, launch(m_handlers.btnfire));

    FixToClient(Scaled(426));
}

void main::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* mnuMain = bar->addMenu("&Main");
    mnuMain->setObjectName("mnuMain");
    QMenu* mnuMore = bar->addMenu("&Data Speed Tests");
    mnuMore->setObjectName("mnuMore");
    QMenu* mnuHelp = bar->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    QMenu* mnuAbout = bar->addMenu("&About");
    mnuAbout->setObjectName("mnuAbout");

    QAction* exit = AddItem(mnuMain, "mnuExit", "E&xit");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, [this] {
        RunExitSequence(*m_services.windows);
        EndProgram(0);
    });
    connect(AddItem(mnuMore, "mnuData", "&Data Speed Tests"), &QAction::triggered, this, [this] { Open("data"); });
    // Added at the end of the menu, where it moves none of the others.
    connect(AddItem(mnuMore, "mnuHistory", "Results &History"), &QAction::triggered, this, [this] { Open("history"); });
    connect(AddItem(mnuMore, "mnuQuality", "&Network Quality"), &QAction::triggered, this, [this] { Open("quality"); });
    QAction* quick = AddItem(mnuHelp, "mnuQuick", "&Quick Help");
    quick->setShortcut(QKeySequence::HelpContents);
    connect(quick, &QAction::triggered, this, [this] { Open("Help"); });
    connect(AddItem(mnuHelp, "mnuLive", "&Live Online Chat Help"), &QAction::triggered, this,
            [this] { OpenPage(kProductSiteAddress); });
    AddSeparator(mnuHelp, "mnuBlank");
    connect(AddItem(mnuHelp, "mnuTip", "&Top Tip"), &QAction::triggered, this, [this] { Open("toptip"); });
    connect(AddItem(mnuAbout, "mnuFull", "&About Brisko"), &QAction::triggered, this, [this] { Open("Formserial"); });
    AddSeparator(mnuAbout, "mnuSpace");
    connect(AddItem(mnuAbout, "mnuNorvane", "&More about Norvane..."), &QAction::triggered, this,
            [this] { OpenPage(kMakerSiteAddress); });
}

void main::Open(const char* windowName) { m_services.windows->Show(windowName); }

void main::OpenPage(const char* address) {
    // A page that cannot be opened is reported; the program goes on.
    RunOrReport(*m_services.messages, [&] { OpenExternalPage(*m_services.externalBrowser, address); });
}

void main::EnableBoostControls() {
    for (QWidget* control : m_boostControls) control->setEnabled(true);
}

int main::Check1Value() const { return m_check1->isChecked() ? 1 : 0; }

void main::SetCaption(BoostButton button, const QString& caption) {
    // The boost commands change these captions; each keeps its key where it can.
    static const QChar letters[] = {'B', 'P', 'O'};  // by BoostButton
    m_boostButtons[static_cast<int>(button)]->setText(WithMnemonic(caption, letters[static_cast<int>(button)]));
}

void main::SetDefaultPointer() { unsetCursor(); }

void main::RunExitSequence(WindowInstances& windows) {
    for (const char* name : kExitOrder) windows.Unload(name);
}

}  // namespace brisko
