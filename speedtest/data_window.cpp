// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/data_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QAbstractButton>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "shell/accessible_text.h"
#include "shell/artwork_label.h"
#include "shell/desktop_font.h"
#include "shell/gradient_button.h"
#include "shell/open_external_page.h"
#include "shell/product_palette.h"
#include "shell/uncaught_error.h"
#include "speedtest/report.h"
#include "speedtest/download_files.h"

namespace brisko {

namespace {

// The layout is kept in twips, as designed; 15 twips make a pixel at 96 dpi on a 9 pt
// desktop (shell/desktop_font.h grows the places with a larger desktop font).
constexpr int Px(int twips) { return twips / 15; }
QRect Twips(int x, int y, int w, int h) { return Scaled(QRect(Px(x), Px(y), Px(w), Px(h))); }

constexpr int kClientWidthTwips = 6390;
constexpr int kDesignHeightTwips = 4725;
// Caption, borders and menu bar: the outer heights the test run sets include them.
constexpr int kNonClientTwips = 775;
// The panels' inner width, in design pixels.
constexpr int kPanelWidth = Px(6135);

const QColor kPanelColour(192, 192, 255);
const QColor kFrameColour(224, 224, 255);

// The tags of the three options, in screen order, with captions and tool tips.
struct OptionText {
    const char* name;
    const char* caption;
    const char* tip;
};
constexpr OptionText kOptions[] = {
    {"Option2", "&Quick (4Mb)",
     "A good sized amount of data to enable accurate speed test results. This size of download is equivalent "
     "to a high quality MP3 song."},
    {"Option3", "Me&dium (12Mb)",
     "A good sized data download to even more accurate speed test results than the quick test option."},
    {"Option1", "&Long (35Mb)",
     "The largest data download test to enable even more accurate speed test results then the other two "
     "options."},
};

// geometry in design pixels.
QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, QRect geometry, bool bold = false) {
    auto* label = new QLabel(text, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    geometry = Scaled(geometry);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        // The design font may be missing; a wider stand-in must not cut headings off.
        while (f.pointSizeF() > 6 && label->fontMetrics().horizontalAdvance(text) > geometry.width()) {
            f.setPointSizeF(f.pointSizeF() - 0.25);
            label->setFont(f);
        }
    }
    return label;
}

QLabel* AddProgressLabel(QWidget* panel, DataControl control, QRect geometry) {
    for (const ControlText& design : kProgressDesignTexts)
        if (design.control == control) return AddLabel(panel, ControlName(control), design.text, geometry);
    return AddLabel(panel, ControlName(control), QString(), geometry);
}

QFrame* AddRule(QWidget* parent, QRect geometry) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(Scaled(geometry));
    return line;
}

QFrame* AddPanel(QWidget* parent, const char* name, QRect geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, kFrameColour);
    panel->setPalette(pal);
    panel->setGeometry(geometry);
    return panel;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

// A data carrier going down into a disc: the picture of the top band.
QPixmap DrawDownloadPicture(QSize size, qreal devicePixelRatio) {
    QPixmap pix = NewArtwork(size, devicePixelRatio, kPanelColour);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(size.width() * 0.1, size.height() * 0.55, size.width() * 0.8, size.height() * 0.38);
    QLinearGradient g(disc.topLeft(), disc.bottomLeft());
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(1, QColor(120, 130, 200));
    p.setBrush(g);
    p.setPen(QPen(QColor(60, 60, 120), 1.5));
    p.drawEllipse(disc);
    QPainterPath arrow;
    const qreal cx = size.width() / 2.0, w = size.width() * 0.18;
    arrow.moveTo(cx - w / 2, size.height() * 0.06);
    arrow.lineTo(cx + w / 2, size.height() * 0.06);
    arrow.lineTo(cx + w / 2, size.height() * 0.42);
    arrow.lineTo(cx + w * 1.2, size.height() * 0.42);
    arrow.lineTo(cx, size.height() * 0.72);
    arrow.lineTo(cx - w * 1.2, size.height() * 0.42);
    arrow.lineTo(cx - w / 2, size.height() * 0.42);
    arrow.closeSubpath();
    p.setBrush(QColor(210, 0, 0));
    p.setPen(QPen(QColor(120, 0, 0), 1.5));
    p.drawPath(arrow);
    return pix;
}

// The test button's key is S, as "Test Data Speed" and as "Stop".
QString StartButtonCaption(const QString& caption) { return WithMnemonic(caption, 'S'); }

// The test button carries a small picture above its caption.
class PictureButton final : public GradientButton {
public:
    using GradientButton::GradientButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        GradientButton::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(width() / 2.0, 0);
        p.scale(LayoutScale(), LayoutScale());  // as the caption grows with the font
        QPainterPath bolt;
        bolt.moveTo(2, 4);
        bolt.lineTo(-5, 13);
        bolt.lineTo(0, 13);
        bolt.lineTo(-3, 21);
        bolt.lineTo(6, 10);
        bolt.lineTo(1, 10);
        bolt.closeSubpath();
        p.setBrush(isEnabled() ? QColor(230, 170, 0) : QColor(190, 190, 190));
        p.setPen(QPen(QColor(120, 80, 0), 1));
        p.drawPath(bolt);
    }
};

}  // namespace

data::data(const DataWindowServices& services) : FormWindow("data"), m_services(services) {
    setWindowTitle("Data Speed Tests");
    m_socket = m_services.sockets->Create();
    DataTestView& view = *this;
    m_test = std::make_unique<DataSpeedTest>(*m_socket, *m_services.clock, *m_services.locale, *m_services.messages,
                                             view, m_services.history);
    BuildControls();
    BuildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

data::~data() = default;

void data::BuildControls() {
    m_client = new QWidget(this);
    m_client->setObjectName("client");
    m_client->setFixedSize(Scaled(QSize(Px(kClientWidthTwips), Px(kDesignHeightTwips))));
    UseProductPalette(m_client, kPanelColour);
    m_client->setFont(DesktopFont("MS Sans Serif", 8.25));
    setCentralWidget(m_client);

    const QRect image1Place = Twips(120, 360, 1785, 1650);
    auto* image1 = new ArtworkLabel(image1Place.size(), DrawDownloadPicture, m_client);
    image1->setObjectName("Image1");
    image1->setGeometry(image1Place);
    image1->setAccessibleName("Data download");
    image1->setAccessibleDescription("A data carrier going down into a disc");

    auto* frame1 = new QGroupBox("Test Data Speeds", m_client);
    frame1->setObjectName("Frame1");
    frame1->setGeometry(Twips(2040, 120, 4215, 2055));
    QLabel* label3 = AddLabel(frame1, "Label3", "(Run tests 2 or 3 times to ensure accurate results.)",
                              {8, 16, 265, 28});
    label3->setWordWrap(true);

    // Each option's tag is the address of its test file.
    const TestFileTags files = MakeTestFileTags(std::getenv(kTestServerVariable));
    int y = 50;
    for (const OptionText& option : kOptions) {
        auto* button = new QRadioButton(option.caption, frame1);
        button->setObjectName(option.name);
        button->setToolTip(option.tip);
        button->setGeometry(Scaled(QRect(10, y, 128, 22)));
        for (std::size_t i = 0; i < kTestFiles.size(); ++i)
            if (QString(kTestFiles[i].option) == option.name)
                button->setProperty("Tag", QString::fromStdString(files.tags[i]));
        y += 26;
    }
    frame1->findChild<QRadioButton*>("Option2")->setChecked(true);
    if (!files.problem.empty()) {
        QTimer::singleShot(0, this, [this, problem = files.problem] { m_services.messages->Show(problem); });
    }

    auto* start = new PictureButton("btnStartTest", StartButtonCaption(kStartCaption), frame1);
    start->setToolTip(
        "This tests the speed that your computer can download any type of data: eg. MP3 files, movies, images, "
        "emails and attachments etc. so that you can compare the results before and after applying the Brisko "
        "boost.");
    start->setGeometry(Scaled(QRect(150, 52, 120, 70)));
    connect(start, &QPushButton::clicked, this, [this] { m_test->OnStartButton(); });

    // Progress panel.
    QFrame* picMain = AddPanel(m_client, "picMain", Twips(120, 2400, 6135, 2175));
    // Three columns; the right one is widest for its heading.
    const int col[] = {8, 148, 268};
    const int colWidth[] = {138, 118, 136};
    AddLabel(picMain, "", "File Details", {col[0], 4, 70, 16}, true);
    AddRule(picMain, {col[0] + 72, 10, 60, 4});
    AddLabel(picMain, "", "Time", {col[1], 4, 40, 16}, true);
    AddRule(picMain, {col[1] + 36, 10, 76, 4});
    AddLabel(picMain, "", "Your Connection Quality", {col[2], 4, colWidth[2], 16}, true);
    AddProgressLabel(picMain, DataControl::lblTotalSize, {col[0], 22, colWidth[0], 16});
    AddProgressLabel(picMain, DataControl::lblTime, {col[1], 22, colWidth[1], 16});
    AddProgressLabel(picMain, DataControl::lblMBEst, {col[2], 22, colWidth[2], 16});
    AddLabel(picMain, "", "Progress", {col[0], 46, 60, 16}, true);
    AddRule(picMain, {col[0] + 60, 52, 72, 4});
    AddLabel(picMain, "", "Speeds", {col[1], 46, 50, 16}, true);
    AddRule(picMain, {col[1] + 48, 52, 64, 4});
    AddProgressLabel(picMain, DataControl::lblkbSoFar, {col[0], 64, colWidth[0], 16});
    AddProgressLabel(picMain, DataControl::lblKBSpeed, {col[1], 64, colWidth[1], 16});
    AddProgressLabel(picMain, DataControl::lblKBMax, {col[2], 64, colWidth[2], 16});
    AddProgressLabel(picMain, DataControl::lblkbRemaining, {col[0], 82, colWidth[0], 16});
    AddProgressLabel(picMain, DataControl::lblKBAvg, {col[1], 82, colWidth[1], 16});
    AddProgressLabel(picMain, DataControl::lblKBMin, {col[2], 82, colWidth[2], 16});
    m_bar = new QProgressBar(picMain);
    m_bar->setObjectName("pBar");
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(Scaled(QRect(8, 110, kPanelWidth - 16, 22)));
    m_bar->setAccessibleName("Progress");
    m_bar->setAccessibleDescription("How much of the test data has been downloaded");

    // Results panel, over the progress panel once a test has finished.
    QFrame* results = AddPanel(m_client, "picTestResults", Twips(120, 2400, 6135, 3495));
    m_results = results;
    QLabel* heading = AddLabel(results, "", kResultsHeading, {8, 6, kPanelWidth - 16, 20}, true);
    heading->setAlignment(Qt::AlignCenter);
    AddLabel(results, "", kAverageSpeedCaption, {10, 34, 116, 18});
    // The figures alone on their row reach to the panel's edge.
    const int toEdge = kPanelWidth - 6 - 128;
    AddLabel(results, "lblAverageSpeed", "1090 KB/s", {128, 34, toEdge, 18}, true);
    AddLabel(results, "", kMaximumSpeedCaption, {10, 58, 116, 18});
    AddLabel(results, "lblMaximumSpeed", "1176 KB/s", {128, 58, 74, 18});
    m_sizeCaption = AddLabel(results, "", kFileSizeCaption, {204, 58, 138, 18});
    AddLabel(results, "lblFileSize", "35056 KB", {342, 58, 62, 18});
    AddLabel(results, "", kMinimumSpeedCaption, {10, 80, 116, 18});
    AddLabel(results, "lblMinimumSpeed", "681 KB/s", {128, 80, toEdge, 18});
    AddLabel(results, "", kTotalTimeCaption, {10, 106, 300, 18});
    AddLabel(results, "lblTotalTime", "31.7 Seconds", {312, 106, 92, 18});
    QLabel* commentsCaption = AddLabel(results, "", QString("&") + kCommentsCaption, {10, 176, 100, 18});
    auto* comments = new QLineEdit(" - - Type your notes for each test in this box - -", results);
    comments->setObjectName("txtComments");
    comments->setGeometry(Scaled(QRect(10, 196, kPanelWidth - 20, 24)));
    commentsCaption->setBuddy(comments);
    comments->setAccessibleName("Comments");
    comments->setAccessibleDescription("Your notes for this test, saved and printed with its results");
    for (const auto& [name, caption] : {std::pair{"lblAverageSpeed", "Average speed"},
                                        {"lblMaximumSpeed", "Maximum speed reached"},
                                        {"lblMinimumSpeed", "Minimum speed reached"},
                                        {"lblFileSize", "Data size for this test"},
                                        {"lblTotalTime", "Total time taken"}})
        MarkFigure(results->findChild<QLabel*>(name), caption);
    results->hide();

    m_timer = new QTimer(this);
    m_timer->setObjectName("Timer1");
    m_timer->setInterval(kTimerIntervalMs);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { m_test->Tick(); });
}

void data::BuildMenus() {
    QMenu* mainMenu = menuBar()->addMenu("&Main");
    mainMenu->setObjectName("mnuMain");
    m_save = AddItem(mainMenu, "mnuSave", "Save &As");
    m_save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_save->setEnabled(false);
    connect(m_save, &QAction::triggered, this, [this] { SaveAs(); });
    QAction* print = AddItem(mainMenu, "mnuPrint", "&Print");
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, [this] { Print(); });
    mainMenu->addSeparator()->setObjectName("mnuSpacer1");
    connect(AddItem(mainMenu, "mnuExit", "&Close"), &QAction::triggered, this, &QWidget::close);

    QMenu* more = menuBar()->addMenu("M&ore Speed Tests");
    more->setObjectName("mnuMore");
    connect(AddItem(more, "mnuThird", "&Third Party Online Speed Tests"), &QAction::triggered, this, [this] {
        // A page that cannot be opened is reported; the program goes on.
        RunOrReport(*m_services.messages,
                    [this] { OpenExternalPage(*m_services.externalBrowser, kThirdPartySpeedTestAddress); });
    });
}

void data::closeEvent(QCloseEvent* event) {
    m_test->Shutdown();
    FormWindow::closeEvent(event);
}

QString data::LabelText(const char* name) const {
    const auto* label = m_client->findChild<QLabel*>(name);
    return label ? label->text() : QString();
}

void data::SaveAs() {
    const ReportFields fields = ReadReportFields([this](const std::string& control) {
        if (const auto* box = m_client->findChild<QLineEdit*>(QString::fromStdString(control)))
            return box->text().toStdString();
        return LabelText(control.c_str()).toStdString();
    });
    SaveReport(*m_services.saveDialog, *m_services.locale, *m_services.messages, fields);
}

void data::Print() {
    const QImage shot = m_client->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    WindowImage image;
    image.width = shot.width();
    image.height = shot.height();
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int row = 0; row < image.height; ++row)
        std::memcpy(image.pixels.data() + static_cast<std::size_t>(row) * image.width, shot.constScanLine(row),
                    static_cast<std::size_t>(image.width) * 4);
    PrintTestWindow(*m_services.printer, *m_services.messages, image);
}

void data::SetText(DataControl control, const std::string& text) {
    const QString name = ControlName(control);
    const QString value = QString::fromStdString(text);
    if (auto* label = m_client->findChild<QLabel*>(name))
        ShowFigure(label, value);
    else if (auto* button = m_client->findChild<QAbstractButton*>(name))
        button->setText(control == DataControl::btnStartTest ? StartButtonCaption(value) : value);
    if (control == DataControl::lblMaximumSpeed || control == DataControl::lblFileSize) FitSizeRow();
}

// The maximum speed shares its row with the data size: a figure longer than the design's
// (seven digits of KB/s) moves the size and its caption right, toward the panel's edge,
// rather than running into them.
void data::FitSizeRow() {
    auto* speed = m_results->findChild<QLabel*>("lblMaximumSpeed");
    auto* size = m_results->findChild<QLabel*>("lblFileSize");
    const auto needs = [](const QLabel* label) { return label->fontMetrics().horizontalAdvance(label->text()) + 2; };
    const int gap = Scaled(4);
    const int right = m_results->width() - Scaled(6);
    const int sizeWidth = std::max(Scaled(62), needs(size));
    const int captionWidth = needs(m_sizeCaption);
    int captionX = std::max(Scaled(204), speed->x() + needs(speed) + gap);
    int sizeX = std::max(Scaled(342), captionX + captionWidth);
    if (sizeX + sizeWidth > right) {
        sizeX = std::max(captionX + captionWidth, right - sizeWidth);
        captionX = std::min(captionX, sizeX - captionWidth);
    }
    speed->setGeometry(speed->x(), speed->y(), captionX - gap - speed->x(), speed->height());
    m_sizeCaption->setGeometry(captionX, m_sizeCaption->y(), sizeX - captionX, m_sizeCaption->height());
    size->setGeometry(sizeX, size->y(), std::max(0, right - sizeX), size->height());
}

void data::SetProgressBar(int value) { m_bar->setValue(value); }

void data::SetTimerEnabled(bool enabled) {
    if (!enabled)
        m_timer->stop();
    else if (!m_timer->isActive())
        m_timer->start();
}

int data::TimerInterval() const { return m_timer->interval(); }

void data::SetSaveEnabled(bool enabled) { m_save->setEnabled(enabled); }

void data::SetResultsVisible(bool visible) {
    m_results->setVisible(visible);
    if (visible) m_results->raise();
}

void data::SetWindowHeight(int twips) {
    m_client->setFixedHeight(Scaled(Px(twips - kNonClientTwips)));
    adjustSize();
}

std::string data::SelectedTestUrl() const {
    for (const char* name : {"Option1", "Option2", "Option3"}) {
        const auto* option = m_client->findChild<QRadioButton*>(name);
        if (option && option->isChecked()) return option->property("Tag").toString().toStdString();
    }
    return {};
}

}  // namespace brisko
