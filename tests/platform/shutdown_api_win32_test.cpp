// SPDX-License-Identifier: GPL-3.0-or-later
// ShutdownSystem over the Win32 calls, each made to fail in turn. ExitWindowsEx is
// always the test's own: a test must never restart the machine it runs on.
#include <gtest/gtest.h>

#include "platform/win32/shutdown_api_win32.h"
#include "restart/reboot.h"

namespace brisko::test {
namespace {

using Exits = std::vector<std::pair<UINT, DWORD>>;
Exits g_exits;
DWORD g_code = 0;  // what the failing call leaves as the last error

// Always refused, as for a user without the right.
BOOL WINAPI RecordedExit(UINT flags, DWORD reason) {
    g_exits.emplace_back(flags, reason);
    ::SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

template <typename Result, typename... Args>
Result WINAPI Fail(Args...) {
    ::SetLastError(g_code);
    return Result{};
}

// The real calls but for the one named, which fails leaving code.
ShutdownCallsWin32 FailingAt(const std::string& call, DWORD code) {
    g_exits.clear();
    g_code = code;
    ShutdownCallsWin32 calls;
    calls.exitWindowsEx = &RecordedExit;
    if (call == "LookupPrivilegeValueA") calls.lookupPrivilegeValue = Fail;
    if (call == "GetCurrentProcess") calls.getCurrentProcess = Fail;
    if (call == "OpenProcessToken") calls.openProcessToken = Fail;
    if (call == "AdjustTokenPrivileges") calls.adjustTokenPrivileges = Fail;
    // Success without the privilege: only the refused request tells.
    if (call == "AdjustTokenPrivileges not all assigned")
        calls.adjustTokenPrivileges = [](HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                         PDWORD) -> BOOL {
            ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
            return TRUE;
        };
    return calls;
}

// The system's own text, as ApiErrorText asks for it.
std::string SystemText(DWORD code) {
    char buffer[255];
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     buffer, sizeof buffer, nullptr);
    return std::string(buffer, n);
}

TEST(ShutdownApiWin32, EachFailingCallGivesItsErrorAndTheSystemText) {
    const std::string noRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";
    const std::string noName = "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. [";
    const std::string failed = "ShutdownSystem failed: ";
    const struct {
        const char* call;
        DWORD code;
        std::string description;
    } steps[] = {
        {"LookupPrivilegeValueA", 1313, noName},
        {"GetCurrentProcess", 6, "Can't enable shutdown: Can't determine the current process. ["},
        {"OpenProcessToken", 5, noRight},
        {"AdjustTokenPrivileges", 87, noRight},
        {"AdjustTokenPrivileges not all assigned", ERROR_PRIVILEGE_NOT_HELD, failed},
        {"ExitWindowsEx", ERROR_PRIVILEGE_NOT_HELD, failed},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.call) + " " + std::to_string(step.code));
        ShutdownApiWin32 api(FailingAt(step.call, step.code));
        reboot service(api, "C:\\Brisko\\Brisko.exe");
        const bool exited = step.description == failed;
        try {
            service.ShutdownSystem(2);
            ADD_FAILURE() << "accepted";
        } catch (const AppError& e) {
            EXPECT_EQ(e.Description(), step.description + SystemText(step.code) + (exited ? "" : "]"));
        }
        // The real privilege calls went through, and the request named a restart.
        EXPECT_EQ(g_exits, (exited ? Exits{{2, 0xFFFFFFFF}} : Exits{}));
    }
}

}  // namespace
}  // namespace brisko::test
