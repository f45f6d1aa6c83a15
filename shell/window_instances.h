// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program-wide single instance of each window, by class name ("main", "data",
// ...): created and loaded on first use, shown modeless and brought to the front,
// destroyed when unloaded. Unloading a window that is not loaded does nothing.
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/form_window.h"

namespace brisko {

class WindowInstances {
public:
    using Factory = std::function<FormWindow*()>;

    void Register(const std::string& name, Factory factory);
    bool IsRegistered(const std::string& name) const;

    FormWindow* Load(const std::string& name);  // null if no such window is registered
    // Load, show modeless, raise, activate; placed on the screen when first shown.
    FormWindow* Show(const std::string& name);
    void Unload(const std::string& name);
    void UnloadInOrder(const std::vector<std::string>& names);
    bool IsLoaded(const std::string& name) const;
    FormWindow* Find(const std::string& name) const;  // null when not loaded

    template <class W>
    W* Get(const std::string& name) const { return qobject_cast<W*>(Find(name)); }

private:
    struct Slot {
        Factory factory;
        QPointer<FormWindow> window;
    };
    std::map<std::string, Slot> m_slots;
};

}  // namespace brisko
