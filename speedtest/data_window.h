// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Data Speed Tests window `data`: pick a test file, watch the download's progress,
// then save or print the results.
#include <memory>

#include "platform/clock.h"
#include "platform/external_browser.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/printer.h"
#include "platform/save_dialog.h"
#include "platform/tcp_socket.h"
#include "shell/form_window.h"
#include "speedtest/download_run.h"

class QAction;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

namespace brisko {

// The services the window borrows; whoever builds the window owns them.
struct DataWindowServices {
    const Clock* clock = nullptr;
    MessageBoxService* messages = nullptr;
    ExternalBrowser* externalBrowser = nullptr;
    TcpSocketFactory* sockets = nullptr;
    LocaleService* locale = nullptr;
    SaveDialog* saveDialog = nullptr;
    Printer* printer = nullptr;
    HistoryService* history = nullptr;  // gets every finished test; may be null
};

class data : public FormWindow, public DataTestView {
    Q_OBJECT
public:
    explicit data(const DataWindowServices& services);
    ~data() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void SaveAs();
    void Print();
    QString LabelText(const char* name) const;
    void FitSizeRow();

    // DataTestView
    void SetText(DataControl control, const std::string& text) override;
    void SetProgressBar(int value) override;
    void SetTimerEnabled(bool enabled) override;
    int TimerInterval() const override;
    void SetSaveEnabled(bool enabled) override;
    void SetResultsVisible(bool visible) override;
    void SetWindowHeight(int twips) override;
    std::string SelectedTestUrl() const override;

    DataWindowServices m_services;
    QWidget* m_client = nullptr;
    QWidget* m_results = nullptr;
    QLabel* m_sizeCaption = nullptr;  // "Data Size for this test:", beside the maximum speed
    QProgressBar* m_bar = nullptr;
    QTimer* m_timer = nullptr;
    QAction* m_save = nullptr;
    std::unique_ptr<TcpSocket> m_socket;  // Winsock1; outlives the test run that uses it
    std::unique_ptr<DataSpeedTest> m_test;
};

}  // namespace brisko
