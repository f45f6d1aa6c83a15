// SPDX-License-Identifier: GPL-3.0-or-later
#include "restart/restart_windows.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "shell/desktop_font.h"
#include "shell/gradient_button.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "restart/prompt_actions.h"
#include "restart/reboot.h"

namespace brisko {

namespace {

constexpr const char* kFace = "MS Sans Serif";
// On a 9 pt desktop; shell/desktop_font.h scales them to the desktop's.
constexpr double kTextPoints = 8.25;
constexpr double kHeadingPoints = 13.5;
constexpr double kEmphasisPoints = 9.75;
constexpr int kClientWidth = 470;

constexpr const char* kLaterTip = "Restart your machine later in your own time.";
constexpr const char* kNowTip = "Restart your machine immediately.";

QFont Face(double points, bool bold = false) { return DesktopFont(kFace, points, bold); }

QWidget* Client(FormWindow* window) {
    window->setWindowTitle("Restart");
    auto* client = new QWidget(window);
    client->setFont(Face(kTextPoints));
    window->setCentralWidget(client);
    return client;
}

QLabel* AddText(QVBoxLayout* layout, QWidget* parent, const char* name, const QString& text,
                double points = kTextPoints, bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setFont(Face(points, bold));
    layout->addWidget(label);
    return label;
}

GradientButton* AddButton(QHBoxLayout* row, QWidget* parent, const char* name, const QString& caption,
                          const QString& tip, bool bold = false) {
    auto* button = new GradientButton(name, caption, parent);
    button->setToolTip(tip);
    // Set explicitly, so the group box's bold title font does not carry over.
    button->setFont(Face(kTextPoints, bold));
    button->setMinimumHeight(Scaled(40));
    row->addWidget(button);
    return button;
}

QGroupBox* AddGroup(QVBoxLayout* layout, QWidget* parent, const QFont& font, QHBoxLayout** row) {
    auto* box = new QGroupBox("Restart?", parent);
    box->setObjectName("Frame1");
    box->setFont(font);
    *row = new QHBoxLayout(box);
    layout->addWidget(box);
    return box;
}

// "Restart PC Right Now" of either prompt. The system may first ask the user for a
// password; meanwhile the windows stay live and the button is off, and every other
// click on it is ignored. A user who cancels or is refused is told so and the prompt
// stays; other errors of the shutdown service end the program after showing their
// description. The prompt may be gone by the time the answer comes.
void RestartNow(RestartServices context, GradientButton* button) {
    QPointer<GradientButton> clicked(button);
    auto answered = [context, clicked](const ShutdownAnswer& answer) {
        if (clicked) clicked->setEnabled(true);
        if (answer.accepted) {
            context.windows->UnloadInOrder(RestartNowCloseOrder());
        } else if (answer.refusedByUser) {
            context.messages->Show(answer.error->Description());
        } else {
            RunOrEnd(*context.messages, [&] { throw *answer.error; });
        }
    };
    RunOrEnd(*context.messages, [&] {
        if (context.shutdown->ShutdownSystemAsync(kEwxReboot, answered) && context.shutdown->RequestPending() && clicked)
            clicked->setEnabled(false);
    });
}

}  // namespace

restart::restart(const RestartServices& services) : FormWindow("restart"), m_services(services) {
    QWidget* client = Client(this);
    auto* layout = new QVBoxLayout(client);
    AddText(layout, client, "Label1", "Done!", kHeadingPoints);
    AddText(layout, client, "Label2", "Your machine is now optimized for the fastest possible Internet speed.",
            kEmphasisPoints, true);
    AddText(layout, client, "Label3",
            "*  See your Web speed gains right now!   Simply follow these 3 steps: *", kEmphasisPoints, true);
    AddText(layout, client, "Label4", "1. Click the 'Show My Speed Improvements Now!' button below");
    AddText(layout, client, "Label5", "2. When Brisko re-opens click the button to choose your Browser");
    AddText(layout, client, "Label6",
            "3. Do the Web speed test again by clicking the 'Web Speed Test' button on the Browser window");
    AddText(layout, client, "Label7",
            "NOTE - You will have to restart your machine to invoke all the other speed improvement changes.");
    QHBoxLayout* row = nullptr;
    QGroupBox* box = AddGroup(layout, client, Face(kEmphasisPoints, true), &row);
    GradientButton* show = AddButton(row, box, "btnshow", "&Show My Speed Improvements Now!",
                                     "See your Web speed improvements. No restart is required for this test.", true);
    GradientButton* later = AddButton(row, box, "btnRestartLater", "Restart PC &Later", kLaterTip);
    GradientButton* now = AddButton(row, box, "btnRestartNow", "Restart PC Right &Now", kNowTip);
    FixToClient(Scaled(kClientWidth));

    connect(show, &QPushButton::clicked, this, [this] { ShowImprovements(); });
    connect(later, &QPushButton::clicked, this, [this] { m_services.windows->Unload("restart"); });
    connect(now, &QPushButton::clicked, this, [this, now] { RestartNow(m_services, now); });
}

void restart::ShowImprovements() {
    // This prompt is among the windows closed, so work from copies only.
    const RestartServices context = m_services;
    context.windows->UnloadInOrder(ShowImprovementsCloseOrder());
    const std::string command = ReopenerCommand(*context.paths, context.helperFolder);
    RunOrEnd(*context.messages, [&] {
        const Status started = context.processes->Start(command, WindowState::MinimizedActive);
        if (!started.ok())
            throw AppError(started.code, "brisko", "Can't start " + command + ": " + started.text);
        EndProgram(0);
    });
}

Restart3::Restart3(const RestartServices& services) : FormWindow("Restart3"), m_services(services) {
    QWidget* client = Client(this);
    auto* layout = new QVBoxLayout(client);
    AddText(layout, client, "Label1", "Done!", kHeadingPoints);
    AddText(layout, client, "Label2", "Your machine has been set back to it's original settings.", kTextPoints,
            true);
    AddText(layout, client, "Label3",
            "NOTE - You will have to restart your machine to invoke the all the changes.");
    QHBoxLayout* row = nullptr;
    QGroupBox* box = AddGroup(layout, client, Face(kTextPoints), &row);
    GradientButton* now = AddButton(row, box, "btnRestartNow", "Restart PC Right &Now", kNowTip);
    GradientButton* later = AddButton(row, box, "btnRestartLater", "Restart PC &Later", kLaterTip);
    FixToClient(Scaled(kClientWidth));

    connect(now, &QPushButton::clicked, this, [this, now] { RestartNow(m_services, now); });
    connect(later, &QPushButton::clicked, this, [this] { m_services.windows->Unload("Restart3"); });
}

}  // namespace brisko
