// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The restart prompts: `restart` after a boost, `Restart3` after a restore.
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/process_start.h"
#include "shell/form_window.h"

namespace brisko {

class WindowInstances;
class reboot;

// The services the prompts borrow; whoever builds the prompts owns them.
struct RestartServices {
    WindowInstances* windows = nullptr;
    MessageBoxService* messages = nullptr;
    ProcessStarter* processes = nullptr;  // starts the reopener
    PathMapper* paths = nullptr;          // finds it beside the program
    std::string helperFolder;             // where it is installed, if not there
    reboot* shutdown = nullptr;           // the shutdown service (restart/reboot.h)
};

class restart : public FormWindow {
    Q_OBJECT
public:
    explicit restart(const RestartServices& services);

private:
    void ShowImprovements();

    RestartServices m_services;
};

class Restart3 : public FormWindow {
    Q_OBJECT
public:
    explicit Restart3(const RestartServices& services);

private:
    RestartServices m_services;
};

}  // namespace brisko
