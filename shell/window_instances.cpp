// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window_instances.h"

#include <QApplication>

namespace brisko {

void WindowInstances::Register(const std::string& name, Factory factory) {
    m_slots[name].factory = std::move(factory);
}

bool WindowInstances::IsRegistered(const std::string& name) const { return m_slots.count(name) > 0; }

FormWindow* WindowInstances::Load(const std::string& name) {
    auto it = m_slots.find(name);
    if (it == m_slots.end()) return nullptr;
    Slot& slot = it->second;
    if (!slot.window) {
        FormWindow* window = slot.factory();
        slot.window = window;
        // A window closed by its own title-bar button is unloaded too.
        QObject::connect(window, &FormWindow::Unloaded, window, [this, name, window] {
            auto found = m_slots.find(name);
            if (found != m_slots.end() && found->second.window == window)
                found->second.window.clear();
        });
    }
    return slot.window;
}

FormWindow* WindowInstances::Show(const std::string& name) {
    FormWindow* window = Load(name);
    if (!window) return nullptr;
    if (!window->Placed()) {
        // Over the window it was opened from, else the main one, on the main one's screen.
        FormWindow* main = Find("main");
        auto* over = qobject_cast<FormWindow*>(QApplication::activeWindow());
        if (!over || over == window) over = main;
        window->PlaceOnScreen(over == window ? nullptr : over, (main ? main : window)->screen());
    }
    if (window->isMinimized()) window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void WindowInstances::Unload(const std::string& name) {
    auto it = m_slots.find(name);
    if (it == m_slots.end() || !it->second.window) return;
    FormWindow* window = it->second.window;
    it->second.window.clear();
    // close() lets the window end its work in closeEvent; the delete is deferred
    // (WA_DeleteOnClose), since the caller may be one of this window's own handlers.
    if (!window->close()) {
        window->hide();
        window->deleteLater();
    }
}

void WindowInstances::UnloadInOrder(const std::vector<std::string>& names) {
    for (const auto& name : names) Unload(name);
}

bool WindowInstances::IsLoaded(const std::string& name) const { return Find(name) != nullptr; }

FormWindow* WindowInstances::Find(const std::string& name) const {
    auto it = m_slots.find(name);
    return it == m_slots.end() ? nullptr : it->second.window.data();
}

}  // namespace brisko
