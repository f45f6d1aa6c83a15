// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/message_box_qt.h"

#include <QApplication>
#include <QMessageBox>

namespace brisko {

void MessageBoxQt::Show(const std::string& text, const std::string& title, bool foreground) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok);
    if (foreground) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

}  // namespace brisko
