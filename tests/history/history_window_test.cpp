// SPDX-License-Identifier: GPL-3.0-or-later
// The History window over an in-memory history: empty state, charts with the boosts
// marked at their time, the summary and the CSV export.
#include <gtest/gtest.h>

#include <QAreaSeries>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>

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

}  // namespace
}  // namespace brisko::test
