// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "platform/save_dialog.h"

namespace brisko {

// QFileDialog in its Save As form. Like the common dialog, it starts at the name
// chosen last time.
class SaveDialogQt final : public SaveDialog {
public:
    std::optional<std::string> AskFileName() override;

private:
    QString m_lastName;
};

}  // namespace brisko
