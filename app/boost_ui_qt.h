// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The boost commands' view of the main window. Looks the window up on every call,
// since the user may close it while a command yields to the event loop.
#include "boost/boost_ui.h"
#include "platform/message_box.h"
#include "shell/window_instances.h"

namespace brisko {

class main;

class BoostUiQt final : public BoostUi {
public:
    BoostUiQt(WindowInstances& windows, MessageBoxService& messages) : m_windows(windows), m_messages(messages) {}
    void SetCaption(BoostButton button, const std::string& caption) override;
    int Check1Value() const override;
    void SetDefaultPointer() override;
    void ShowPrompt(RestartPrompt prompt) override;
    void ShowFailure(const std::string& text) override;

private:
    main* Main() const;
    WindowInstances& m_windows;
    MessageBoxService& m_messages;
};

}  // namespace brisko
