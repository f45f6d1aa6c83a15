// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/locale_win32.h"

#include <windows.h>

#include "platform/win32/utf8_win32.h"

namespace brisko {

std::string LocaleWin32::DecimalSeparator() const {
    wchar_t text[8] = {};
    const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    return n > 1 ? Utf8(text, n - 1) : ".";
}

std::string LocaleWin32::ShortDateToday() const {
    wchar_t text[80] = {};
    const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 80);
    return n > 1 ? Utf8(text, n - 1) : std::string();
}

std::string LocaleWin32::LongTimeNow() const {
    wchar_t text[80] = {};
    const int n = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 80);
    return n > 1 ? Utf8(text, n - 1) : std::string();
}

}  // namespace brisko
