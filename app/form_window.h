#pragma once
// Base of every Brisko window: a top-level window without owner that tells its
// instance slot when it is unloaded (closed by code or by its title-bar button).
#include <QMainWindow>

namespace brisko {

class FormWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit FormWindow(const QString& objectName, QWidget* parent = nullptr);

signals:
    void Unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace brisko
