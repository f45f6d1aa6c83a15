// SPDX-License-Identifier: GPL-3.0-or-later
// The History window over an in-memory history: empty state, charts with the boosts
// marked at their time, the summary and the CSV export.
#include <gtest/gtest.h>

#include <QAreaSeries>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>

#include "history/history_export.h"
#include "history/history_window.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// x in milliseconds since 1970, y the value, per series name; a band as its upper
// line's points, then its lower line's.
std::map<QString, QList<QPointF>> Series(QWidget* window, const char* chart) {
    std::map<QString, QList<QPointF>> all;
    for (QAbstractSeries* s : window->findChild<QChartView*>(chart)->chart()->series()) {
        if (auto* line = qobject_cast<QLineSeries*>(s)) all[s->name()] += line->points();
        if (auto* band = qobject_cast<QAreaSeries*>(s))
            all[s->name()] += band->upperSeries()->points() + band->lowerSeries()->points();
    }
    return all;
}

// Empty, a sentence says how to fill it; then the charts, the boost marked at its time
// and the verdict's interval over the results after it.
TEST(HistoryWindow, ChartsTheResultsOverTimeMarksTheBoostAndExports) {
    FakeHistory history;
    FakeSaveDialog saveDialog;
    FakeMessageBox messages;
    FakeLocale locale;
    const HistoryWindowServices services{&history, &saveDialog, &messages, &locale};
    const auto open = [&] {
        auto window = std::make_unique<brisko::history>(services);
        window->show();
        return window;
    };
    {
        auto empty = open();
        EXPECT_EQ(empty->findChild<QLabel*>("lblEmpty")->text().toStdString(), kEmptyHistoryText);
        EXPECT_TRUE(empty->findChild<QLabel*>("lblEmpty")->isVisible());
        EXPECT_FALSE(empty->findChild<QPushButton*>("btnExport")->isEnabled());
    }
    const auto data = [&](std::int64_t average) {
        history.Append({0, {}, DataTestRecord{"h/4MB.bin", 4 << 20, 3.5, average, 1300, 900, {1200}}});
    };
    data(1190);
    history.Append({0, {}, WebTestRecord{"ie", "http://www.example.com", 0.81}});
    for (std::int64_t average : {1180, 1200, 1185}) data(average);
    history.Append({0, {}, BoostRecord{"boost", {"web.reg"}, {}, {"PatchControlPrefs"}, {}}});
    data(1651);
    history.Append({0, {}, WebTestRecord{"ie", "http://www.example.com", 0.62}});
    for (std::int64_t average : {1640, 1660, 1655}) data(average);
    // A Pro Boost that could not start its imports changed nothing: marked, but no boost.
    history.Append({0, {}, BoostRecord{"pro-boost", {}, {"web-game.reg"}, {}, "no regedit"}});
    const qreal t0 = history.Records()[0].time * 1000.0;
    auto window = open();
    EXPECT_FALSE(window->findChild<QLabel*>("lblEmpty")->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>("lblSummary")->text().toStdString(),
              "Across the latest boost: Average download 1188 -> 1653 KB/s (+39.2%, 95% CI +36.7% to +40.7%, faster: 4 "
              "tests each side); www.example.com 0.81 -> 0.62 s (-23.5%, 2 more tests before the boost and 4 more "
              "after it would let Brisko judge: 1 test each side)");

    const auto speeds = Series(window.get(), "chartDownload");
    EXPECT_EQ(speeds.at("Average download (KB/s)").size(), 8);
    EXPECT_EQ(speeds.at("Average download (KB/s)")[0], QPointF(t0, 1190));
    ASSERT_EQ(speeds.at("Boost").size(), 2);
    EXPECT_EQ(speeds.at("Boost")[0].x(), t0 + 5000);  // at the boost's time, across the chart
    EXPECT_EQ(speeds.at("Pro Boost (failed)")[0].x(), t0 + 11000);
    // The band lies over the results after the boost, above the median before it and
    // about the median after it.
    const QList<QPointF> band = speeds.at("95% interval");
    ASSERT_EQ(band.size(), 4);
    EXPECT_TRUE(band[0].x() < t0 + 6000 && band[1].x() > t0 + 10000);
    EXPECT_TRUE(band[2].y() > 1187.5 && band[2].y() < 1653 && band[0].y() > 1653) << band[2].y() << " " << band[0].y();
    EXPECT_EQ(Series(window.get(), "chartPageLoad").at("www.example.com"),
              (QList<QPointF>{{t0 + 1000, 0.81}, {t0 + 7000, 0.62}}));

    TempFolder folder;
    saveDialog.answer = folder / "history.csv";
    window->findChild<QPushButton*>("btnExport")->click();
    EXPECT_EQ(ReadFileBytes(folder / "history.csv"), HistoryCsv(history.Records()));
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"The history was exported to " + (folder / "history.csv") + "."});
}


// The quality runs get a chart of their own (a failed run left out and said so); a page
// timed in two engines is two lines; long names are cut in the middle, whole on hover;
// the lines' colours differ and big numbers are written out.
TEST(HistoryWindow, ChartsQualityRunsAndKeepsLegendsAndAxesReadable) {
    FakeHistory history;
    FakeSaveDialog saveDialog;
    FakeMessageBox messages;
    FakeLocale locale;
    const std::string address = "http://www.example.com/" + std::string(80, 'x') + "/index.html";
    history.Append({0, {}, DataTestRecord{"h/4MB.bin", 4 << 20, 1, 4000000, 4000000, 4000000, {}}});
    history.Append({0, {}, QualityRecord{"h:8080", 8, 10, 5, 1, 180, 333, 38.5, 30, 9.5, 9, {}}});
    history.Append({0, {}, WebTestRecord{"ie", address, 0.8}});
    history.Append({0, {}, WebTestRecord{"mozilla", address, 0.4}});
    history.Append({0, {}, QualityRecord{"h:8080", 8, 10, 5, 1, {}, {}, 2, 1, {}, {}, "upload: refused"}});
    history.Append({0, {}, QualityRecord{"h:8080", 8, 10, 6, 1, 190, 316, 40, 31, 9.8, 9.1, {}}});
    brisko::history window({&history, &saveDialog, &messages, &locale});
    window.show();

    QChart* quality = window.findChild<QChartView*>("chartQuality")->chart();
    EXPECT_TRUE(window.findChild<QChartView*>("chartQuality")->isVisible());
    EXPECT_EQ(quality->title(), "Network quality (1 incomplete run not drawn)");
    const auto lines = Series(&window, "chartQuality");
    EXPECT_EQ(lines.at("Download (Mbit/s)").size(), 2);
    EXPECT_EQ(lines.at("Download (Mbit/s)")[1].y(), 40);
    EXPECT_EQ(lines.at("Loaded latency (ms)").size(), 2);
    EXPECT_EQ(quality->axes(Qt::Vertical).size(), 2);  // Mbit/s on the left, ms on the right

    std::vector<QColor> colours;
    std::vector<QString> full;
    for (QAbstractSeries* s : window.findChild<QChartView*>("chartPageLoad")->chart()->series())
        if (auto* line = qobject_cast<QLineSeries*>(s); line && s->property("fullName").isValid()) {
            colours.push_back(line->color());
            full.push_back(s->property("fullName").toString());
            EXPECT_LT(s->name().size(), full.back().size());
            EXPECT_TRUE(s->name().contains(QChar(0x2026))) << s->name().toStdString();
        }
    ASSERT_EQ(full.size(), 2u);
    EXPECT_EQ(full[0].toStdString(), address.substr(7) + " (mozilla)");
    EXPECT_EQ(full[1].toStdString(), address.substr(7) + " (ie)");
    EXPECT_NE(colours[0], colours[1]);

    for (const char* name : {"chartDownload", "chartQuality", "chartPageLoad"})
        for (QAbstractAxis* axis : window.findChild<QChartView*>(name)->chart()->axes(Qt::Vertical)) {
            const QString format = static_cast<QValueAxis*>(axis)->labelFormat();
            EXPECT_TRUE(format.endsWith('f')) << name << " " << format.toStdString();
        }
    EXPECT_EQ(static_cast<QValueAxis*>(window.findChild<QChartView*>("chartDownload")->chart()->axes(Qt::Vertical)[0])
                  ->labelFormat(),
              "%.0f");
}

}  // namespace
}  // namespace brisko::test
