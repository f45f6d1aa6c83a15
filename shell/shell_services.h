// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every window may use: the program's window instances, the message box and the
// external browser. main.cpp owns the services; windows borrow them for their lifetime.
#include "platform/external_browser.h"
#include "platform/message_box.h"

namespace brisko {

class WindowInstances;

struct ShellServices {
    WindowInstances* windows = nullptr;
    MessageBoxService* messages = nullptr;
    ExternalBrowser* externalBrowser = nullptr;
};

}  // namespace brisko
