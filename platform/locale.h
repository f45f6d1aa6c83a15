// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's regional settings. Back ends: LocaleQt (qt/, QLocale), LocaleWin32 (win32/,
// GetLocaleInfoA).
// DesktopServices (platform/services.h) owns it; windows and logic borrow it.
#include <string>

namespace brisko {

class LocaleService {
public:
    virtual ~LocaleService() = default;
    virtual std::string DecimalSeparator() const = 0;
    // Today in the user's short date format.
    virtual std::string ShortDateToday() const = 0;
    // The time now in the user's long time format (with seconds).
    virtual std::string LongTimeNow() const = 0;
};

}  // namespace brisko
