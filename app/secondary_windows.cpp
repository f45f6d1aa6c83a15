// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/secondary_windows.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"
#include "shell/artwork_label.h"
#include "shell/desktop_font.h"
#include "shell/open_external_page.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"

namespace brisko {

namespace {

QLabel* Text(const QString& text, QWidget* parent, bool bold = false, double points = 0) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (bold || points > 0) {
        QFont f = label->font();
        f.setBold(bold);
        if (points > 0) f.setPointSizeF(DesktopPoints(points));
        label->setFont(f);
    }
    return label;
}

// A line that must not break, such as a telephone number.
QLabel* Line(const QString& text, QWidget* parent, bool bold = false, double points = 0) {
    QLabel* label = Text(text, parent, bold, points);
    label->setWordWrap(false);
    return label;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QWidget* Client(FormWindow* window) {
    auto* client = new QWidget(window);
    window->setCentralWidget(client);
    return client;
}

}  // namespace

Help::Help(const ShellServices& services) : FormWindow("Help") {
    setWindowTitle("Help");
    QWidget* client = Client(this);
    auto* layout = new QVBoxLayout(client);
    auto* box = new QGroupBox("Help", client);
    auto* inner = new QVBoxLayout(box);
    inner->addWidget(Text("Simply move your mouse over any of the buttons or items on the screen and Help "
                          "prompts will appear.", box));
    inner->addWidget(Text("I need more Help...", box, true));
    inner->addWidget(Text("If you need more help or guidance or have any questions then please feel free "
                          "to contact us anytime using the contact details below or live online via our "
                          "free Live Chat Help Line.", box));
    QPushButton* live = Button("btnLiveHelp", "&Live Help", box);
    live->setToolTip("Go to the Live Online Chat Help and Support on the Brisko Web site.");
    inner->addWidget(live, 0, Qt::AlignHCenter);
    auto* contact = new QGroupBox("Contact Details", box);
    auto* lines = new QVBoxLayout(contact);
    lines->addWidget(Line(QString("General Email: ") + kSalesEmail, contact));
    lines->addWidget(Line(QString("Web Site: ") + kWebSiteText, contact));
    lines->addWidget(Line(QString("Support Email: ") + kSupportEmail, contact));
    lines->addWidget(Line(QString("Telephone: ") + kTelephone, contact));
    inner->addWidget(contact);
    layout->addWidget(box);
    QPushButton* close = Button("btnClose", "&Close", client);
    layout->addWidget(close, 0, Qt::AlignHCenter);

    FixToClient(Scaled(420));

    connect(live, &QPushButton::clicked, this, [services] {
        RunOrReport(*services.messages,
                    [&] { OpenExternalPage(*services.externalBrowser, kProductSiteAddress); });
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

toptip::toptip() : FormWindow("toptip") {
    setWindowTitle("Top Tip");
    QWidget* client = Client(this);
    auto* layout = new QVBoxLayout(client);
    auto* box = new QGroupBox("A Top Tip to Get Faster Internet Speed", client);
    auto* inner = new QVBoxLayout(box);
    inner->addWidget(Text("If you use a Broadband modem and a separate router and if they sit too close to "
                          "each other then your data speed could be getting slowed down. This is caused "
                          "by the interference of the unshielded high frequency noise from the two units.",
                          box));
    inner->addWidget(Text("Simply move the two units apart a good few inches at least, (the further the "
                          "better) and you will notice a dramatic improvement in data speeds .",
                          box));
    inner->addWidget(Text("We hope you find this information useful.", box));
    layout->addWidget(box);
    QPushButton* close = Button("btnClose", "&Close", client);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    FixToClient(Scaled(400));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

Formserial::Formserial(const ShellServices& services) : FormWindow("Formserial") {
    setWindowTitle("About");
    QWidget* client = Client(this);
    auto* layout = new QGridLayout(client);

    const QColor background = palette().color(QPalette::Window);
    auto* logo = new ArtworkLabel(
        Scaled(QSize(160, 44)), [background](QSize size, qreal ratio) { return DrawLogo(size, background, ratio); },
        client);
    logo->setAccessibleName("Brisko");
    logo->setAccessibleDescription("The Brisko logo");
    auto* art = new ArtworkLabel(
        Scaled(QSize(140, 130)),
        [background](QSize size, qreal ratio) { return DrawSpeedometer(size, background, ratio); }, client);
    art->setAccessibleName("Speedometer");
    art->setAccessibleDescription("A speedometer with its needle near the top of the scale");
    art->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(logo, 0, 0);
    layout->addWidget(art, 1, 0);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(Line("Brisko", client, true, 16));
    nameRow->addWidget(Line("Version 3.3", client));
    nameRow->addStretch();
    layout->addLayout(nameRow, 0, 1);

    auto* texts = new QVBoxLayout;
    texts->addWidget(Text("Get Brisko and maximum performance\nfrom your Internet connection and Browser.", client));
    texts->addWidget(Text("Windows Is Not Optimized For All Broadband Connections.", client, true));
    texts->addWidget(Text("Apply Brisko and Get Enhanced Performance from Your Internet Connection.", client));
    texts->addWidget(Text(
        "Windows Operating Systems and Internet Browsers are configured, by default, to use common and "
        "general Internet and network data communication settings so as to be able cover all available "
        "technologies and the associated data rate capabilities of the technologies available.",
        client));
    texts->addWidget(Text(
        "However Windows XP, for example, is 6 years old now and today the average speed of data on the "
        "Internet is far greater than it was even a couple of years ago never mind 6 years ago! Even Vista "
        "'plays it safe' with it's Internet settings. So what this means is that the default configuration "
        "of Windows and Internet Browsers do not handle today's faster Internet speeds as efficiently as "
        "they could and so Windows users are not getting the top speed of their Internet connection and "
        "service which they are paying for.",
        client));
    texts->addWidget(Text(
        "Norvane Brisko Boost will automatically configure and optimize your Windows Operating System and "
        "Internet Browser for optimal performance for your Internet connection, no matter what your "
        "connection type is. Now you can enjoy the Brisko and performance of the technology which you "
        "invested in.",
        client));
    texts->addWidget(Text(
        "With Norvane Brisko there are no questions, no technical knowledge requirements, no subscriptions, "
        "no gimmicks, no contracts, no monthly or annual payments, no pop ups, no spyware, no banners, no "
        "viruses, ....nothing! .......just an instant, no-nonsense solution to an issue that affects all "
        "Windows users.",
        client));
    texts->addWidget(Text("Enjoy the improvements to your Internet experience.", client));
    layout->addLayout(texts, 1, 1);

    auto* contact = new QGroupBox("Contact, Sales and Support Details", client);
    auto* grid = new QGridLayout(contact);
    grid->addWidget(Line(QString("General and Sales Email: ") + kSalesEmail, contact), 0, 0);
    grid->addWidget(Line(QString("Web Site: ") + kWebSiteText, contact), 1, 0);
    grid->addWidget(Line(QString("Support Email: ") + kSupportEmail, contact), 0, 1);
    grid->addWidget(Line(QString("Telephone: ") + kTelephone, contact), 1, 1);
    // The full width, under the artwork too: two columns of addresses need it.
    layout->addWidget(contact, 2, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    QPushButton* tip = Button("btnTopTip", "&Top Tip", client);
    QPushButton* close = Button("btnClose", "&Close", client);
    buttons->addWidget(tip);
    buttons->addWidget(close);
    layout->addLayout(buttons, 3, 1, Qt::AlignRight);
    FixToClient(Scaled(600));

    WindowInstances* windows = services.windows;
    connect(tip, &QPushButton::clicked, this, [windows] { windows->Show("toptip"); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

}  // namespace brisko
