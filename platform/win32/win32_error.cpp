// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/win32_error.h"

#include <windows.h>

#include "platform/win32/utf8_win32.h"

namespace brisko {

std::string Win32ErrorText(std::uint32_t code) {
    wchar_t buffer[512];
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                               sizeof buffer / sizeof buffer[0], nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ')) --n;
    if (n == 0) return "Error " + std::to_string(code);
    return Utf8(buffer, n);
}

Status Win32Failure(std::uint32_t code) {
    return Status::Fail(code == 0 ? -1 : static_cast<long>(code), Win32ErrorText(code));
}

Status LastWin32Failure() { return Win32Failure(::GetLastError()); }

}  // namespace brisko
