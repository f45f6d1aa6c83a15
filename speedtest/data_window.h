#pragma once
// The Data Speed Tests window `data`: pick a test file, watch the download's progress,
// then save or print the results.
#include <memory>

#include "shell/app_context.h"
#include "shell/form_window.h"
#include "speedtest/test_run.h"

class QAction;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

namespace brisko {

class data : public FormWindow, private DataTestView {
    Q_OBJECT
public:
    explicit data(const AppContext& context);
    ~data() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void SaveAs();
    void Print();
    QString LabelText(const char* name) const;

    // DataTestView
    void SetText(DataControl control, const std::string& text) override;
    void SetProgressBar(int value) override;
    void SetTimerEnabled(bool enabled) override;
    int TimerInterval() const override;
    void SetSaveEnabled(bool enabled) override;
    void SetResultsVisible(bool visible) override;
    void SetWindowHeight(int twips) override;
    std::string SelectedTestUrl() const override;

    AppContext m_context;
    QWidget* m_client = nullptr;
    QWidget* m_results = nullptr;
    QProgressBar* m_bar = nullptr;
    QTimer* m_timer = nullptr;
    QAction* m_save = nullptr;
    std::unique_ptr<TcpSocket> m_socket;  // Winsock1; outlives the test run that uses it
    std::unique_ptr<DataSpeedTest> m_test;
};

}  // namespace brisko
