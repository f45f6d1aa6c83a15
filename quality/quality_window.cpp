// SPDX-License-Identifier: GPL-3.0-or-later
#include "quality/quality_window.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "history/chart_window.h"
#include "shell/accessible_text.h"
#include "shell/desktop_font.h"
#include "shell/product_palette.h"
#include "speedtest/download_client.h"
#include "speedtest/download_files.h"
#include "speedtest/number_format.h"

namespace brisko {

namespace {

constexpr const char* kStart = "&Start";
constexpr const char* kStop = "&Stop";
constexpr const char* kPending = "\xE2\x80\x93";  // an en dash: not measured yet
constexpr const char* kNotMeasured = "not measured";

// Three figures or so: 0.214 ms, 26.3 ms, 262 ms.
std::string Number(double value, const std::string& separator) {
    const int places = value >= 100 ? 0 : value >= 10 ? 1 : value >= 1 ? 2 : 3;
    const double scale = std::pow(10.0, places);
    return FormatGeneral(std::round(value * scale) / scale, separator);
}

struct FigureRow {
    const char* name;
    const char* caption;  // %1: the streams
    std::optional<double> QualityResult::*figure;
    const char* unit;
};
constexpr FigureRow kRows[] = {
    {"lblIdleLatency", "Idle latency", &QualityResult::idleLatencyMs, "ms"},
    {"lblJitter", "Jitter", &QualityResult::jitterMs, "ms"},
    {"lblDownloadSingle", "Download, one stream", &QualityResult::downloadSingleMbit, "Mbit/s"},
    {"lblDownload", "Download, %1 streams", &QualityResult::downloadMbit, "Mbit/s"},
    {"lblUploadSingle", "Upload, one stream", &QualityResult::uploadSingleMbit, "Mbit/s"},
    {"lblUpload", "Upload, %1 streams", &QualityResult::uploadMbit, "Mbit/s"},
    {"lblLoadedLatency", "Latency under load", &QualityResult::loadedLatencyMs, "ms"},
    {"lblRpm", "Responsiveness", &QualityResult::responsivenessRpm, "RPM"},
};

QScatterSeries* AddProbes(QChart* chart, const char* name, const QString& title, int colour) {
    auto* series = new QScatterSeries(chart);
    series->setObjectName(name);
    series->setName(title);
    series->setMarkerSize(7);
    series->setColor(SeriesColour(colour));
    series->setBorderColor(SeriesColour(colour));
    chart->addSeries(series);
    return series;
}

}  // namespace

QualityServerChoice ChooseQualityServer(const std::string& serverOverride) {
    // The data test's server: the quality paths are brisko-testserver's, so a public
    // file host answers the first probe with an error and the run says so.
    QualityServerChoice choice{kTestFileHost, 80, {}};
    if (serverOverride.empty()) return choice;
    const std::optional<ServerAddress> address = ParseServer(serverOverride);
    if (!address) {
        choice.problem = BadServerProblem(serverOverride) + " The data test's server is used instead.";
        return choice;
    }
    choice.host = address->host;
    choice.port = address->port;
    return choice;
}

std::string QualityFailureText(const QualityResult& result) {
    const std::string& failure = result.failure;
    if (failure.empty()) return {};
    const std::string kept = " The figures measured so far are kept, marked incomplete.";
    if (failure == "stopped") return "The run was stopped before it ended." + kept;
    for (QualityPhase phase : {QualityPhase::IdleLatency, QualityPhase::DownloadSingle, QualityPhase::Download,
                               QualityPhase::UploadSingle, QualityPhase::Upload}) {
        const std::string name = std::string(PhaseName(phase)) + ": ";
        if (failure.compare(0, name.size(), name) == 0)
            return "The run failed during the " + name.substr(0, name.size() - 2) + " phase: " +
                   failure.substr(name.size()) + "." + kept;
    }
    return "The run failed: " + failure + "." + kept;
}

quality::quality(const QualityWindowServices& services) : FormWindow("quality"), m_services(services) {
    setWindowTitle("Network Quality");
    const QualityServerChoice server = ChooseQualityServer(m_services.serverOverride);
    QualityOptions options = m_services.options;
    options.host = server.host;
    options.port = server.port;
    QualityEvents events;
    events.progress = [this](const QualityResult& r) { Show(r, false); };
    events.finished = [this](const QualityResult& r) { Show(r, true); };
    m_test = std::make_unique<QualityTest>(*m_services.loop, *m_services.sockets, *m_services.clock, options,
                                           std::move(events), m_services.history, "brisko");
    BuildControls();
    auto* serverLabel = findChild<QLabel*>("lblServer");
    serverLabel->setText(QString::fromStdString(HostAndPort(server.host, server.port)) +
                         QString(" (%1 streams, %2 s a phase)")
                             .arg(std::clamp(options.streams, 1, 64))
                             .arg(QString::fromStdString(FormatGeneral(options.phaseSeconds, "."))));
    if (!server.problem.empty()) {
        m_message->setText(QString::fromStdString(server.problem));
        m_message->show();
    }
}

quality::~quality() = default;

void quality::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);

    auto* top = new QHBoxLayout();
    top->addWidget(new QLabel("Server:", client));
    auto* server = new QLabel(client);
    server->setObjectName("lblServer");
    server->setAccessibleDescription("Server");
    server->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(server, 1);
    m_start = new QPushButton(kStart, client);
    m_start->setObjectName("btnStart");
    m_start->setToolTip(
        "Measures latency on an idle link, then download and upload over one stream and over many, with "
        "latency probes beside the load: how responsive the connection stays when it is busy.");
    top->addWidget(m_start);
    layout->addLayout(top);
    connect(m_start, &QPushButton::clicked, this, [this] { StartOrStop(); });

    m_phase = new QLabel("Press Start to measure the connection's quality.", client);
    m_phase->setObjectName("lblPhase");
    QFont bold = m_phase->font();
    bold.setBold(true);
    m_phase->setFont(bold);
    m_phase->setAccessibleDescription("Phase");
    layout->addWidget(m_phase);

    m_figures = new QGroupBox("Figures", client);
    m_figures->setObjectName("Figures");
    auto* grid = new QGridLayout(m_figures);
    const int streams = std::clamp(m_services.options.streams, 1, 64);
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const int row = static_cast<int>(i % 4), column = static_cast<int>(i / 4) * 2;
        QString caption(kRows[i].caption);
        if (caption.contains("%1")) caption = caption.arg(streams);
        grid->addWidget(new QLabel(caption + ":", m_figures), row, column);
        auto* value = new QLabel(kPending, m_figures);
        value->setObjectName(kRows[i].name);
        value->setFont(bold);
        value->setMinimumWidth(Scaled(90));
        MarkFigure(value, caption);
        grid->addWidget(value, row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    layout->addWidget(m_figures);

    m_message = new QLabel(client);
    m_message->setObjectName("lblMessage");
    m_message->setWordWrap(true);
    SetAccentText(m_message, QColor(200, 0, 0));
    m_message->hide();
    layout->addWidget(m_message);

    auto* chart = new QChart();
    chart->setTitle("Latency during the test");
    chart->legend()->setAlignment(Qt::AlignBottom);
    FollowDesktopFont(chart);
    m_idle = AddProbes(chart, "seriesIdle", "Idle probes", 0);
    m_loaded = AddProbes(chart, "seriesLoaded", "Probes under load", 1);
    m_onLoad = AddProbes(chart, "seriesOnLoad", "Probes on the loaded connections", 4);
    m_timeAxis = new QValueAxis(chart);
    m_timeAxis->setTitleText("seconds since the start");
    m_msAxis = new QValueAxis(chart);
    m_msAxis->setTitleText("ms");
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    chart->addAxis(m_msAxis, Qt::AlignLeft);
    for (QScatterSeries* s : {m_idle, m_loaded, m_onLoad}) {
        s->attachAxis(m_timeAxis);
        s->attachAxis(m_msAxis);
    }
    m_chart = new QChartView(chart, client);
    m_chart->setObjectName("chartLatency");
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumSize(Scaled(QSize(480, 260)));
    m_chart->setAccessibleName("Latency during the test");
    m_chart->viewport()->setAccessibleName("Latency during the test");  // it takes the focus for the view
    m_chart->setAccessibleDescription(
        "Each latency probe of the run, idle, under load and on the loaded connections: ms against seconds since "
        "the start");
    layout->addWidget(m_chart, 1);
    ShowChart({});

    auto* buttons = new QHBoxLayout();
    auto* close = new QPushButton("&Close", client);
    close->setObjectName("btnClose");
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    resize(Scaled(QSize(600, 620)));
}

void quality::StartOrStop() {
    if (m_test->Running()) {
        m_test->Stop();
        return;
    }
    m_message->hide();
    m_figures->setTitle("Figures");
    m_start->setText(kStop);
    m_test->Start();
    if (m_test->Running()) Show(m_test->Result(), false);
}

void quality::Show(const QualityResult& r, bool finished) {
    const std::string separator = m_services.locale ? m_services.locale->DecimalSeparator() : ".";
    const bool incomplete = finished && !r.failure.empty();
    for (const FigureRow& row : kRows) {
        const std::optional<double>& value = r.*row.figure;
        QString text = value ? QString::fromStdString(
                                   (std::string(row.unit) == "RPM" ? FormatGeneral(static_cast<std::int64_t>(std::llround(*value)))
                                                                   : Number(*value, separator)) +
                                   " " + row.unit)
                     : incomplete ? kNotMeasured
                                  : kPending;
        ShowFigure(findChild<QLabel*>(row.name), text);
    }
    if (!finished) {
        m_phase->setText(QString("Running: %1").arg(PhaseName(r.phase)));
    } else {
        m_start->setText(kStart);
        m_phase->setText(incomplete ? "Incomplete" : "Finished: every figure measured.");
        m_figures->setTitle(incomplete ? "Figures (incomplete)" : "Figures");
        m_message->setText(QString::fromStdString(QualityFailureText(r)));
        m_message->setVisible(incomplete);
    }
    ShowChart(r);
}

void quality::ShowChart(const QualityResult& r) {
    QList<QPointF> idle, loaded, onLoad;
    double last = 0, highest = 0;
    for (const LatencySample& s : r.samples) {
        (s.phase == QualityPhase::IdleLatency ? idle : s.onLoadedConnection ? onLoad : loaded) << QPointF(s.at, s.ms);
        last = std::max(last, s.at);
        highest = std::max(highest, s.ms);
    }
    m_idle->replace(idle);
    m_loaded->replace(loaded);
    m_onLoad->replace(onLoad);
    // The time axis runs at least to the end of a whole run, so the points do not jump.
    const double length = std::max(last, 1.0 + 4 * std::max(m_services.options.phaseSeconds, 0.0));
    m_timeAxis->setRange(0, std::ceil(length));
    m_timeAxis->applyNiceNumbers();
    m_msAxis->setRange(0, highest > 0 ? highest * 1.1 : 100);
    m_msAxis->applyNiceNumbers();
    SetPlainLabels(m_timeAxis);
    SetPlainLabels(m_msAxis);
    FollowDesktopFont(m_chart->chart());
    FollowPalette(m_chart->chart(), palette());
}

void quality::closeEvent(QCloseEvent* event) {
    m_test->Stop();
    FormWindow::closeEvent(event);
}

void quality::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && m_chart) FollowPalette(m_chart->chart(), palette());
    FormWindow::changeEvent(event);
}

}  // namespace brisko
