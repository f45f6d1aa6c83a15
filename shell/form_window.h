#pragma once
// Base of every Brisko window: a top-level window without owner that tells its
// instance slot when it is unloaded (closed by code or by its title-bar button).
#include <QMainWindow>
#include <QPointer>

class QPushButton;

namespace brisko {

class FormWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit FormWindow(const QString& objectName, QWidget* parent = nullptr);

    // The button Return presses unless another push button has the focus.
    void SetDefaultButton(QPushButton* button);

signals:
    void Unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Return and Enter that no control took for itself (a check box, a one-line text
    // box, ...) press the focused push button, else the default button, as Windows does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QPushButton> m_defaultButton;
};

}  // namespace brisko
