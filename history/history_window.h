// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The History window `history`: download speed, network quality and page-load time over time, boosts
// and restores marked on the time axis, the verdict across the latest boost (its
// medians and interval drawn too), and the export of every record to CSV. Opened from
// the main window's Data Speed Tests menu.
#include <string>
#include <vector>

#include "history/history_file.h"
#include "history/history_summary.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/save_dialog.h"
#include "shell/form_window.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QChartView;

namespace brisko {

struct HistoryWindowServices {
    HistoryService* history = nullptr;
    SaveDialog* saveDialog = nullptr;
    MessageBoxService* messages = nullptr;
    LocaleService* locale = nullptr;
};

// What opens in place of the charts while there is nothing to show.
inline constexpr const char* kEmptyHistoryText =
    "No results yet. Run a test from the Data Speed Tests menu, or time a web page with the "
    "Internet Explorer Users or Firefox Users button: every result, boost and restore is "
    "added here, from brisko-cli too.";

struct TimeSpan {
    std::int64_t first = 0, last = 0;  // the times of the first and the last record
};

class history final : public FormWindow {
    Q_OBJECT
public:
    explicit history(const HistoryWindowServices& services);

    // Reads the history again and redraws; done whenever the window is shown.
    void Reload();
    void ExportCsv();
    const std::vector<HistoryRecord>& Records() const { return m_records; }

protected:
    void showEvent(QShowEvent* event) override;
    // Back in front after a test in another window (or in brisko-cli): read again if the
    // history has grown meanwhile.
    bool event(QEvent* event) override;
    // The charts take the colours of a new desktop palette.
    void changeEvent(QEvent* event) override;

private:
    void BuildControls();
    void Draw();
    void DrawQuality(const std::vector<BoostFigure>& figures, const TimeSpan& span, qint64 pad);

    HistoryWindowServices m_services;
    std::vector<HistoryRecord> m_records;
    std::int64_t m_seenSize = -1;  // the history file's size when last read
    QStackedWidget* m_pages = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_problem = nullptr;
    QChartView* m_speedChart = nullptr;
    QChartView* m_loadChart = nullptr;
    QChartView* m_qualityChart = nullptr;
    QPushButton* m_export = nullptr;
};

}  // namespace brisko
