// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/locale_win32.h"

#include <windows.h>

namespace brisko {

std::string LocaleWin32::DecimalSeparator() const {
    char text[8] = {};
    const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof text);
    return n > 1 ? std::string(text, n - 1) : ".";
}

std::string LocaleWin32::ShortDateToday() const {
    char text[80] = {};
    const int n = ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, sizeof text);
    return n > 1 ? std::string(text, n - 1) : std::string();
}

std::string LocaleWin32::LongTimeNow() const {
    char text[80] = {};
    const int n = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, sizeof text);
    return n > 1 ? std::string(text, n - 1) : std::string();
}

}  // namespace brisko
