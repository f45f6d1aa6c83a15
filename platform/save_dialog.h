// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The common Save As dialog. Back ends: SaveDialogQt (qt/, QFileDialog), later win32.
// DesktopServices (platform/services.h) owns it; the Data Speed Tests window borrows it.
#include <optional>
#include <string>

namespace brisko {

class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // The chosen file name, or nothing when the user cancelled.
    virtual std::optional<std::string> AskFileName() = 0;
};

}  // namespace brisko
