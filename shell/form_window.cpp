#include "shell/form_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace brisko {

FormWindow::FormWindow(const QString& objectName, QWidget* parent) : QMainWindow(parent) {
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
}

void FormWindow::SetDefaultButton(QPushButton* button) {
    if (m_defaultButton) m_defaultButton->setDefault(false);
    m_defaultButton = button;
    if (button) button->setDefault(true);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit Unloaded();
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || modifiers != Qt::NoModifier) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    QPushButton* target = qobject_cast<QPushButton*>(focusWidget());
    if (!target) target = m_defaultButton;
    // A disabled default button swallows the key, as on Windows: nothing happens.
    if (target && target->isEnabled() && target->isVisible()) target->click();
    event->accept();
}

}  // namespace brisko
