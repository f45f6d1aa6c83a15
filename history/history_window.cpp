// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "history/chart_window.h"
#include "history/history_export.h"
#include "history/history_summary.h"
#include "shell/desktop_font.h"
#include "shell/product_palette.h"

namespace brisko {

namespace {

constexpr int kMostAddresses = 6;  // more lines than this are no longer readable

QDateTime When(const HistoryRecord& record) { return QDateTime::fromSecsSinceEpoch(record.time); }

QChartView* MakeChartView(const char* name, const QString& title, const QString& description, QWidget* parent) {
    auto* view = new QChartView(new QChart(), parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(Scaled(QSize(560, 230)));
    view->setAccessibleName(title);
    view->setAccessibleDescription(description);
    view->viewport()->setAccessibleName(title);  // it takes the focus for the view
    FollowDesktopFont(view->chart());
    return view;
}

// Fills chart with series over time, marks the boosts and restores, and sets its axes.
QValueAxis* DrawChart(QChart* chart, const QString& title, const QString& unit, const std::vector<QLineSeries*>& series,
                      const std::vector<HistoryRecord>& records, TimeSpan span, double highest) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    chart->setTitle(title);
    const double top = highest > 0 ? highest * 1.15 : 1;
    auto* timeAxis = new QDateTimeAxis(chart);
    // Seconds matter within a sitting; over weeks the day is enough.
    const std::int64_t length = span.last - span.first;
    timeAxis->setFormat(length <= 2 * 3600 ? "hh:mm:ss" : length <= 2 * 86400 ? "dd MMM hh:mm" : "dd MMM yyyy");
    timeAxis->setTitleText("Time");
    const qint64 pad = span.last > span.first ? std::max<qint64>(5, (span.last - span.first) / 10) : 60;
    timeAxis->setRange(QDateTime::fromSecsSinceEpoch(span.first - pad), QDateTime::fromSecsSinceEpoch(span.last + pad));
    timeAxis->setTickCount(5);
    auto* valueAxis = new QValueAxis(chart);
    valueAxis->setRange(0, top);
    valueAxis->applyNiceNumbers();
    valueAxis->setTitleText(unit);
    SetPlainLabels(valueAxis);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QLineSeries* s : series) {
        s->setPointsVisible(true);
        // Names were set whole; the legend shows them shortened, in full on hover.
        const QString name = s->name();
        chart->addSeries(s);
        s->attachAxis(timeAxis);
        s->attachAxis(valueAxis);
        NameInLegend(chart, s, name);
    }
    // A boost or restore is a vertical line across the chart at its time.
    std::map<std::string, bool> named;
    for (const HistoryRecord& r : records) {
        const BoostRecord* boost = r.Boost();
        if (!boost) continue;
        auto* mark = new QLineSeries(chart);
        const bool failed = Failed(*boost);
        QString name = boost->mode == "restore" ? "Restore" : boost->mode == "pro-boost" ? "Pro Boost" : "Boost";
        if (failed) name += " (failed)";
        mark->setName(name);
        // One that changed nothing is grey: the results on both sides of it belong together.
        QPen pen(!ChangedAnything(*boost)      ? QColor(140, 140, 140)
                 : boost->mode == "restore"   ? QColor(0, 140, 0)
                 : boost->mode == "pro-boost" ? QColor(150, 0, 200)
                                              : QColor(200, 0, 0));
        pen.setStyle(failed ? Qt::DotLine : Qt::DashLine);
        pen.setWidth(2);
        mark->setPen(pen);
        const qreal at = static_cast<qreal>(When(r).toMSecsSinceEpoch());
        mark->append(at, 0);
        mark->append(at, valueAxis->max());
        chart->addSeries(mark);
        mark->attachAxis(timeAxis);
        mark->attachAxis(valueAxis);
        // One legend entry per kind of mark.
        const std::string kind = name.toStdString() + (ChangedAnything(*boost) ? "" : " nothing");
        if (named[kind])
            for (QLegendMarker* marker : chart->legend()->markers(mark)) marker->setVisible(false);
        named[kind] = true;
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    return valueAxis;
}

// A second value axis on the right for series of another unit.
QValueAxis* AddRightAxis(QChart* chart, const QString& unit, const std::vector<QLineSeries*>& series, double highest) {
    auto* axis = new QValueAxis(chart);
    axis->setRange(0, highest > 0 ? highest * 1.15 : 1);
    axis->applyNiceNumbers();
    axis->setTitleText(unit);
    SetPlainLabels(axis);
    chart->addAxis(axis, Qt::AlignRight);
    QAbstractAxis* timeAxis = chart->axes(Qt::Horizontal).value(0);
    for (QLineSeries* s : series) {
        s->setPointsVisible(true);
        const QString name = s->name();
        chart->addSeries(s);
        s->attachAxis(timeAxis);
        s->attachAxis(axis);
        NameInLegend(chart, s, name);
    }
    return axis;
}

QLineSeries* NewSeries(const QString& name, int colour) {
    auto* series = new QLineSeries();
    series->setName(name);
    QPen pen(SeriesColour(colour));
    pen.setWidth(2);
    series->setPen(pen);
    return series;
}

// What the verdict sets side by side, drawn in the colour of the figure's line: the
// median of each side flat across its results, and over the results after the boost
// the band where the change's 95% interval puts them.
void DrawVerdict(QChart* chart, const BoostFigure& figure, const QColor& color, qint64 pad,
                 QAbstractAxis* valueAxis = nullptr) {
    QAbstractAxis* timeAxis = chart->axes(Qt::Horizontal).value(0);
    if (!valueAxis) valueAxis = chart->axes(Qt::Vertical).value(0);
    const auto add = [&](QAbstractSeries* series, bool inLegend) {
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(valueAxis);
        for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(inLegend);
    };
    // A side of one result, or of results within a second, still gets a visible width.
    const auto flat = [&](std::int64_t from, std::int64_t to, double value) {
        auto* line = new QLineSeries(chart);
        line->append(static_cast<qreal>(from * 1000 - pad), value);
        line->append(static_cast<qreal>(to * 1000 + pad), value);
        return line;
    };
    const BoostVerdict& v = figure.verdict;
    for (const auto& [from, to, median] : {std::tuple(figure.beforeFrom, figure.beforeTo, v.medianBefore),
                                           std::tuple(figure.afterFrom, figure.afterTo, v.medianAfter)}) {
        QLineSeries* line = flat(from, to, median);
        line->setName("Median");
        QPen pen(color);
        pen.setStyle(Qt::DotLine);
        pen.setWidth(2);
        line->setPen(pen);
        add(line, false);
    }
    if (!v.lowPercent) return;
    const double low = v.medianBefore * (1 + *v.lowPercent / 100), high = v.medianBefore * (1 + *v.highPercent / 100);
    auto* band =
        new QAreaSeries(flat(figure.afterFrom, figure.afterTo, high), flat(figure.afterFrom, figure.afterTo, low));
    band->setName("95% interval");
    QColor fill = color;
    fill.setAlpha(70);
    band->setBrush(fill);
    band->setPen(QPen(color, 1));
    bool named = false;
    for (QAbstractSeries* s : chart->series()) named = named || s->type() == QAbstractSeries::SeriesTypeArea;
    add(band, !named);
}

}  // namespace

history::history(const HistoryWindowServices& services) : FormWindow("history"), m_services(services) {
    setWindowTitle("Results History");
    BuildControls();
}

void history::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);

    m_pages = new QStackedWidget(client);
    auto* empty = new QLabel(kEmptyHistoryText, m_pages);
    empty->setObjectName("lblEmpty");
    empty->setWordWrap(true);
    empty->setAlignment(Qt::AlignCenter);
    empty->setMargin(40);
    m_pages->addWidget(empty);

    auto* charts = new QWidget(m_pages);
    auto* chartLayout = new QVBoxLayout(charts);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    m_summary = new QLabel(charts);
    m_summary->setObjectName("lblSummary");
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    m_summary->setAccessibleDescription("Summary");
    chartLayout->addWidget(m_summary);
    m_speedChart = MakeChartView("chartDownload", "Download speed",
                                 "The average speed of each data test over time, the boosts and restores marked",
                                 charts);
    m_loadChart = MakeChartView("chartPageLoad", "Page load time",
                                "The seconds each web test took over time, a line for each address", charts);
    m_qualityChart = MakeChartView("chartQuality", "Network quality",
                                   "Download and upload rates and the latency under load of each network "
                                   "quality run over time",
                                   charts);
    chartLayout->addWidget(m_speedChart, 1);
    chartLayout->addWidget(m_qualityChart, 1);
    chartLayout->addWidget(m_loadChart, 1);
    m_pages->addWidget(charts);
    layout->addWidget(m_pages, 1);

    m_problem = new QLabel(client);
    m_problem->setObjectName("lblProblem");
    m_problem->setWordWrap(true);
    SetAccentText(m_problem, QColor(200, 0, 0));
    m_problem->hide();
    layout->addWidget(m_problem);

    auto* buttons = new QHBoxLayout();
    m_export = new QPushButton("&Export to CSV...", client);
    m_export->setObjectName("btnExport");
    auto* close = new QPushButton("&Close", client);
    close->setObjectName("btnClose");
    buttons->addStretch();
    buttons->addWidget(m_export);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(m_export, &QPushButton::clicked, this, [this] { ExportCsv(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Three charts need the height; a smaller screen gets a window that fits it.
    resize(Scaled(QSize(780, 920)));
}

void history::showEvent(QShowEvent* event) {
    Reload();
    FormWindow::showEvent(event);
}

bool history::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && isVisible() &&
        QFileInfo(QString::fromStdString(m_services.history->Location())).size() != m_seenSize)
        Reload();
    return FormWindow::event(event);
}

void history::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && m_speedChart)
        for (QChartView* view : {m_speedChart, m_qualityChart, m_loadChart}) FollowPalette(view->chart(), palette());
    FormWindow::changeEvent(event);
}

void history::Reload() {
    m_seenSize = QFileInfo(QString::fromStdString(m_services.history->Location())).size();
    HistoryRead read = m_services.history->Read();
    m_records = std::move(read.records);
    QStringList problems;
    if (!read.status.ok()) problems << QString::fromStdString("The history could not be read: " + read.status.text);
    if (read.skipped)
        problems << QString("%1 line(s) of %2 are not results and were left out.")
                        .arg(read.skipped)
                        .arg(QString::fromStdString(m_services.history->Location()));
    if (!m_services.history->LastAppend().ok())
        problems << QString::fromStdString("The last result could not be added to the history: " +
                                           m_services.history->LastAppend().text);
    m_problem->setText(problems.join("\n"));
    m_problem->setVisible(!problems.isEmpty());
    Draw();
}

void history::Draw() {
    const bool any = !m_records.empty();
    m_pages->setCurrentIndex(any ? 1 : 0);
    m_export->setEnabled(any);
    if (!any) return;
    const std::string separator = m_services.locale ? m_services.locale->DecimalSeparator() : ".";
    m_summary->setText(QString::fromStdString(SummaryLine(m_records, separator)));
    const std::vector<BoostFigure> figures = FiguresAcrossLatestBoost(m_records);
    // The charts reach high enough for the intervals' bands too.
    const auto bandTop = [&](const std::function<bool(const BoostFigure&)>& which) {
        double top = 0;
        for (const BoostFigure& f : figures)
            if (which(f) && f.verdict.highPercent)
                top = std::max(top, f.verdict.medianBefore * (1 + *f.verdict.highPercent / 100));
        return top;
    };

    TimeSpan span{m_records.front().time, m_records.front().time};
    for (const HistoryRecord& r : m_records) {
        span.first = std::min(span.first, r.time);
        span.last = std::max(span.last, r.time);
    }

    auto* speeds = NewSeries("Average download (KB/s)", 0);
    double fastest = 0;
    for (const HistoryRecord& r : m_records)
        if (const DataTestRecord* d = r.Data()) {
            speeds->append(static_cast<qreal>(When(r).toMSecsSinceEpoch()), static_cast<qreal>(d->averageSpeed));
            fastest = std::max(fastest, static_cast<double>(d->averageSpeed));
        }
    DrawChart(m_speedChart->chart(), "Download speed", "KB/s", {speeds}, m_records, span,
              std::max(fastest, bandTop([](const BoostFigure& f) { return f.kind == FigureKind::Download; })));
    const qint64 pad = std::max<qint64>(1000, (span.last - span.first) * 1000 / 80);
    for (const BoostFigure& f : figures)
        if (f.kind == FigureKind::Download) DrawVerdict(m_speedChart->chart(), f, speeds->color(), pad);

    DrawQuality(figures, span, pad);

    // One line per address and engine, the most recently timed ones: a load in one engine
    // says nothing about the other.
    using Page = std::pair<std::string, std::string>;  // address, engine
    std::vector<Page> pages;
    for (auto it = m_records.rbegin(); it != m_records.rend(); ++it)
        if (const WebTestRecord* w = it->Web();
            w && std::find(pages.begin(), pages.end(), Page(w->address, w->engine)) == pages.end() &&
            pages.size() < kMostAddresses)
            pages.push_back({w->address, w->engine});
    std::vector<QLineSeries*> loads;
    double slowest = 0;
    for (const auto& [address, engine] : pages) {
        const bool bothEngines = std::count_if(pages.begin(), pages.end(), [&](const Page& p) {
                                     return p.first == address;
                                 }) > 1;
        // Whole here: the legend shortens it to fit and shows it whole on hover.
        std::string name = address;
        for (const std::string scheme : {"http://", "https://"})
            if (name.size() > scheme.size() && name.compare(0, scheme.size(), scheme) == 0) name.erase(0, scheme.size());
        if (bothEngines) name += " (" + engine + ")";
        QLineSeries* series = NewSeries(QString::fromStdString(name), static_cast<int>(loads.size()) + 1);
        for (const HistoryRecord& r : m_records)
            if (const WebTestRecord* w = r.Web(); w && w->address == address && w->engine == engine) {
                series->append(static_cast<qreal>(When(r).toMSecsSinceEpoch()), w->seconds);
                slowest = std::max(slowest, w->seconds);
            }
        loads.push_back(series);
    }
    const auto drawn = [&](const BoostFigure& f) {
        return std::find(pages.begin(), pages.end(), Page(f.test, f.engine)) - pages.begin();
    };
    DrawChart(m_loadChart->chart(), "Page load time", "seconds", loads, m_records, span,
              std::max(slowest, bandTop([&](const BoostFigure& f) {
                           return f.kind == FigureKind::PageLoad && drawn(f) < static_cast<long>(pages.size());
                       })));
    for (const BoostFigure& f : figures)
        if (const auto at = drawn(f); f.kind == FigureKind::PageLoad && at < static_cast<long>(pages.size()))
            DrawVerdict(m_loadChart->chart(), f, loads[static_cast<std::size_t>(at)]->color(), pad);
    for (QChartView* view : {m_speedChart, m_qualityChart, m_loadChart}) FollowDesktopFont(view->chart());
    for (QChartView* view : {m_speedChart, m_qualityChart, m_loadChart}) FollowPalette(view->chart(), palette());
}

void history::DrawQuality(const std::vector<BoostFigure>& figures, const TimeSpan& span, qint64 pad) {
    // Whole runs only: a run that failed measured a broken test, not the link.
    std::size_t runs = 0, incomplete = 0;
    QLineSeries* down = NewSeries("Download (Mbit/s)", 0);
    QLineSeries* up = NewSeries("Upload (Mbit/s)", 1);
    QLineSeries* latency = NewSeries("Loaded latency (ms)", 4);
    double rate = 0, ms = 0;
    std::set<std::pair<std::string, int>> tests;
    for (const HistoryRecord& r : m_records) {
        const QualityRecord* q = r.Quality();
        if (!q) continue;
        ++runs;
        if (!q->failure.empty()) {
            ++incomplete;
            continue;
        }
        tests.insert({q->server, q->streams});
        const qreal at = static_cast<qreal>(When(r).toMSecsSinceEpoch());
        for (const auto& [series, value, top] :
             {std::tuple(down, q->downloadMbit, &rate), std::tuple(up, q->uploadMbit, &rate),
              std::tuple(latency, q->loadedLatencyMs, &ms)})
            if (value) {
                series->append(at, *value);
                *top = std::max(*top, *value);
            }
    }
    m_qualityChart->setVisible(runs > 0);
    const auto band = [&](FigureKind kind) {
        double top = 0;
        for (const BoostFigure& f : figures)
            if (f.kind == kind && f.verdict.highPercent)
                top = std::max(top, f.verdict.medianBefore * (1 + *f.verdict.highPercent / 100));
        return top;
    };
    QString title = "Network quality";
    if (incomplete) title += QString(" (%1 incomplete %2 not drawn)").arg(incomplete).arg(incomplete == 1 ? "run" : "runs");
    QChart* chart = m_qualityChart->chart();
    QValueAxis* rateAxis = DrawChart(chart, title, "Mbit/s", {down, up}, m_records, span,
                                     std::max({rate, band(FigureKind::QualityDownload), band(FigureKind::QualityUpload)}));
    QValueAxis* msAxis = AddRightAxis(chart, "ms", {latency}, std::max(ms, band(FigureKind::LoadedLatency)));
    // The lines mix servers when there are several; a verdict is drawn only over its own.
    if (tests.size() != 1) return;
    for (const BoostFigure& f : figures) {
        if (f.kind == FigureKind::QualityDownload) DrawVerdict(chart, f, down->color(), pad, rateAxis);
        if (f.kind == FigureKind::QualityUpload) DrawVerdict(chart, f, up->color(), pad, rateAxis);
        if (f.kind == FigureKind::LoadedLatency) DrawVerdict(chart, f, latency->color(), pad, msAxis);
    }
}

void history::ExportCsv() {
    if (m_records.empty()) return;
    const std::optional<std::string> name = m_services.saveDialog->AskFileName();
    if (!name || name->empty()) return;
    QFile file(QString::fromStdString(*name));
    const std::string csv = HistoryCsv(m_records);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.flush()) {
        m_services.messages->Show("The history could not be exported to " + *name + ": " +
                                  file.errorString().toStdString());
        return;
    }
    file.close();
    m_services.messages->Show("The history was exported to " + *name + ".");
}

}  // namespace brisko
