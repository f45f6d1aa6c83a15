#include "app/form_window.h"

#include <QCloseEvent>

namespace brisko {

FormWindow::FormWindow(const QString& objectName, QWidget* parent) : QMainWindow(parent) {
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit Unloaded();
}

}  // namespace brisko
