// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/save_dialog_qt.h"

#include <QApplication>
#include <QFileDialog>

namespace brisko {

std::optional<std::string> SaveDialogQt::AskFileName() {
    // Reports are appended, so an existing file is no reason to ask about overwriting.
    const QString name = QFileDialog::getSaveFileName(QApplication::activeWindow(), QStringLiteral("Save As"),
                                                      m_lastName, QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty()) return std::nullopt;
    m_lastName = name;
    return name.toStdString();
}

}  // namespace brisko
