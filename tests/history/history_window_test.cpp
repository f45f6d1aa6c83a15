// The History window over an in-memory history: empty state, charts with the boosts
// marked at their time, the summary and the CSV export.
#include <gtest/gtest.h>

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

// x in milliseconds since 1970, y the value, per series name.
std::map<QString, QList<QPointF>> Series(QWidget* window, const char* chart) {
    std::map<QString, QList<QPointF>> all;
    for (QAbstractSeries* s : window->findChild<QChartView*>(chart)->chart()->series())
        all[s->name()] += static_cast<QLineSeries*>(s)->points();
    return all;
}

// Empty, a sentence says how to fill it; then the charts, the boost marked at its time.
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
    history.Append({0, {}, DataTestRecord{"h/4MB.bin", 4 << 20, 3.5, 1190, 1300, 900, {1200}}});
    history.Append({0, {}, WebTestRecord{"ie", "http://www.example.com", 0.81}});
    history.Append({0, {}, BoostRecord{"boost", {"web.reg"}, {}, {"PatchControlPrefs"}, {}}});
    history.Append({0, {}, DataTestRecord{"h/4MB.bin", 4 << 20, 2.5, 1651, 1700, 1500, {1651}}});
    history.Append({0, {}, WebTestRecord{"ie", "http://www.example.com", 0.62}});
    const qreal t0 = history.Records()[0].time * 1000.0;
    auto window = open();
    EXPECT_FALSE(window->findChild<QLabel*>("lblEmpty")->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>("lblSummary")->text().toStdString(),
              "Across the latest boost: Average download 1190 -> 1651 KB/s (+38.7%); "
              "www.example.com 0.81 -> 0.62 s (-23.5%)");

    const auto speeds = Series(window.get(), "chartDownload");
    EXPECT_EQ(speeds.at("Average download (KB/s)"), (QList<QPointF>{{t0, 1190}, {t0 + 3000, 1651}}));
    ASSERT_EQ(speeds.at("Boost").size(), 2);
    EXPECT_EQ(speeds.at("Boost")[0].x(), t0 + 2000);  // at the boost's time, across the chart
    EXPECT_EQ(Series(window.get(), "chartPageLoad").at("www.example.com"),
              (QList<QPointF>{{t0 + 1000, 0.81}, {t0 + 4000, 0.62}}));

    TempFolder folder;
    saveDialog.answer = folder / "history.csv";
    window->findChild<QPushButton*>("btnExport")->click();
    EXPECT_EQ(ReadFileBytes(folder / "history.csv"), HistoryCsv(history.Records()));
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"The history was exported to " + (folder / "history.csv") + "."});
}

}  // namespace
}  // namespace brisko::test
