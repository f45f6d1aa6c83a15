// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/boost_ui_qt.h"

#include "app/main_window.h"

namespace brisko {

main* BoostUiQt::Main() const { return m_windows.Get<main>("main"); }

void BoostUiQt::SetCaption(BoostButton button, const std::string& caption) {
    if (main* window = Main()) window->SetCaption(button, QString::fromStdString(caption));
}

int BoostUiQt::Check1Value() const {
    main* window = Main();
    return window ? window->Check1Value() : 0;
}

void BoostUiQt::SetDefaultPointer() {
    if (main* window = Main()) window->SetDefaultPointer();
}

void BoostUiQt::ShowPrompt(RestartPrompt prompt) { m_windows.Show(WindowName(prompt)); }

void BoostUiQt::ShowFailure(const std::string& text) { m_messages.Show(text); }

}  // namespace brisko
