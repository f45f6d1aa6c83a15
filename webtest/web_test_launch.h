// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's web test launchers, `Command1` and `btnfire`.
#include "platform/message_box.h"
#include "shell/window_instances.h"

namespace brisko {

enum class WebTestKind { InternetExplorer, Firefox };

// Shows the hint, opens the chosen test window and closes the other one. True when the
// test window is open: the main window then enables its boost controls.
bool LaunchWebTest(WindowInstances& windows, MessageBoxService& messages, WebTestKind kind);

}  // namespace brisko
