// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/process_start_win32.h"

#include <windows.h>

#include <vector>

#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

Status ProcessStarterWin32::Start(const std::string& commandLine, WindowState state,
                                  const std::string& workingFolder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = state == WindowState::MinimizedActive ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    // CreateProcessW may write into the line it is given.
    std::wstring line = Wide(commandLine);
    const std::wstring folder = Wide(workingFolder);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return LastWin32Failure();
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Status::Ok();
}

}  // namespace brisko
