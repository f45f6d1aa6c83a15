// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small information windows: `Help`, `toptip` and `Formserial` (About).
#include "shell/shell_services.h"
#include "shell/form_window.h"

namespace brisko {

// Contact details shown in the help and About windows.
inline constexpr const char* kSalesEmail = "sales@brisko.example";
inline constexpr const char* kSupportEmail = "support@brisko.example";
inline constexpr const char* kWebSiteText = "www.brisko.example";
inline constexpr const char* kTelephone = "+44 (0)20 7946 0321";

class Help : public FormWindow {
    Q_OBJECT
public:
    explicit Help(const ShellServices& services);
};

class toptip : public FormWindow {
    Q_OBJECT
public:
    toptip();
};

class Formserial : public FormWindow {
    Q_OBJECT
public:
    explicit Formserial(const ShellServices& services);
};

}  // namespace brisko
