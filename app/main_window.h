// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window `main`: the start-up window and hub.
#include <functional>
#include <vector>

#include "boost/boost_ui.h"

#include "shell/shell_services.h"
#include "shell/form_window.h"

class QCheckBox;
class QPushButton;

namespace brisko {

class GradientButton;

class main : public FormWindow {
    Q_OBJECT
public:
    // Click handlers that other subsystems supply (boost engine, web test launchers).
    struct Handlers {
        std::function<void()> boost, proBoost, restore;  // btnBoost, btnProBoost, btnRestore
        // Web test launchers: true when the test window is open, which unlocks the boost.
        std::function<bool()> command1, btnfire;
    };

    main(const ShellServices& services, Handlers handlers);

    // Enables the boost buttons, panels, check box and labels, in the launchers' order.
    void EnableBoostControls();

    int Check1Value() const;  // 0 unchecked, 1 checked
    void SetCaption(BoostButton button, const QString& caption);
    void SetDefaultPointer();

    // The exit sequence of the "Exit" menu item.
    static void RunExitSequence(WindowInstances& windows);

private:
    void BuildControls();
    void BuildMenus();
    void Open(const char* windowName);
    void OpenPage(const char* address);

    ShellServices m_services;
    Handlers m_handlers;
    GradientButton* m_boostButtons[3] = {};  // by BoostButton
    QCheckBox* m_check1 = nullptr;
    std::vector<QWidget*> m_boostControls;  // locked until a web test is launched
};

}  // namespace brisko
