// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Modal message box with an OK button only. Back ends: MessageBoxQt (qt/);
// tests use FakeMessageBox, which records instead of blocking.
// DesktopServices (platform/services.h) owns it; windows and logic borrow it.
#include <string>

namespace brisko {

inline constexpr const char* kAppTitle = "Brisko";

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // foreground: bring the box in front of other programs' windows too.
    virtual void Show(const std::string& text, const std::string& title = kAppTitle,
                      bool foreground = false) = 0;
};

}  // namespace brisko
