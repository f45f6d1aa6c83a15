// ShutdownSystem over the Win32 calls, each made to fail in turn. ExitWindowsEx is
// always the test's own: a test must never restart the machine it runs on.
#include <gtest/gtest.h>

#include "platform/win32/shutdown_api_win32.h"
#include "restart/reboot.h"

namespace brisko::test {
namespace {

std::vector<std::pair<UINT, DWORD>> g_exitCalls;

BOOL WINAPI RecordedExit(UINT flags, DWORD reason) {
    g_exitCalls.emplace_back(flags, reason);
    ::SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

ShutdownCallsWin32 SafeCalls() {
    g_exitCalls.clear();
    ShutdownCallsWin32 calls;
    calls.exitWindowsEx = &RecordedExit;
    return calls;
}

// The system's own text, as ApiErrorText asks for it.
std::string SystemText(DWORD code) {
    char buffer[255];
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     buffer, sizeof buffer, nullptr);
    return std::string(buffer, n);
}

AppError ErrorOf(ShutdownApiWin32& api) {
    reboot service(api, "C:\\Brisko\\Brisko.exe");
    try {
        service.ShutdownSystem(2);
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, "", "no error");
}

TEST(ShutdownApiWin32, EachFailingCallGivesItsErrorAndTheSystemText) {
    const std::string noRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";
    const struct {
        const char* call;
        void (*fail)(ShutdownCallsWin32&);
        DWORD code;
        std::uint32_t number;
        std::string description;
    } steps[] = {
        {"LookupPrivilegeValueA",
         [](ShutdownCallsWin32& c) {
             c.lookupPrivilegeValue = [](LPCSTR, LPCSTR, PLUID) -> BOOL { return ::SetLastError(1313), FALSE; };
         },
         1313, 0x8004062C, "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. ["},
        {"GetCurrentProcess",
         [](ShutdownCallsWin32& c) {
             c.getCurrentProcess = []() -> HANDLE { return ::SetLastError(6), HANDLE(nullptr); };
         },
         6, 0x8004062D, "Can't enable shutdown: Can't determine the current process. ["},
        {"OpenProcessToken",
         [](ShutdownCallsWin32& c) {
             c.openProcessToken = [](HANDLE, DWORD, PHANDLE) -> BOOL { return ::SetLastError(5), FALSE; };
         },
         5, 0x8004062E, noRight},
        {"AdjustTokenPrivileges",
         [](ShutdownCallsWin32& c) {
             c.adjustTokenPrivileges = [](HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                          PDWORD) -> BOOL { return ::SetLastError(87), FALSE; };
         },
         87, 0x8004062E, noRight},
        // Success without the privilege: only the refused request tells.
        {"AdjustTokenPrivileges not all assigned",
         [](ShutdownCallsWin32& c) {
             c.adjustTokenPrivileges = [](HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                          PDWORD) -> BOOL { return ::SetLastError(ERROR_NOT_ALL_ASSIGNED), TRUE; };
         },
         ERROR_PRIVILEGE_NOT_HELD, 0x8004062B, "ShutdownSystem failed: "},
        {"ExitWindowsEx", [](ShutdownCallsWin32&) {}, ERROR_PRIVILEGE_NOT_HELD, 0x8004062B, "ShutdownSystem failed: "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.call);
        ShutdownCallsWin32 calls = SafeCalls();
        step.fail(calls);
        ShutdownApiWin32 api(calls);
        const AppError e = ErrorOf(api);
        const std::string text = SystemText(step.code);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), step.number);
        EXPECT_EQ(e.Description(), step.description + text + (step.number == 0x8004062B ? "" : "]"));
        EXPECT_EQ(e.Source(), "Brisko.mShutDown");
        EXPECT_EQ(g_exitCalls.size(), step.number == 0x8004062B ? 1u : 0u);
    }
    // The real privilege calls went through, and the request named a restart.
    EXPECT_EQ(g_exitCalls, (std::vector<std::pair<UINT, DWORD>>{{2, 0xFFFFFFFF}}));
}

TEST(ShutdownApiWin32, AcceptedRequestAndTextsTheBufferCannotHold) {
    ShutdownCallsWin32 calls = SafeCalls();
    calls.exitWindowsEx = [](UINT flags, DWORD reason) -> BOOL {
        g_exitCalls.emplace_back(flags, reason);
        return TRUE;
    };
    ShutdownApiWin32 accepting(calls);
    reboot service(accepting, "Brisko.exe");
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(g_exitCalls.size(), 1u);

    // No text for the code: the brackets close on nothing.
    calls = SafeCalls();
    calls.lookupPrivilegeValue = [](LPCSTR, LPCSTR, PLUID) -> BOOL { return ::SetLastError(0x2FFFFFFF), FALSE; };
    ShutdownApiWin32 textless(calls);
    EXPECT_EQ(ErrorOf(textless).Description(),
              "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. []");
}

}  // namespace
}  // namespace brisko::test
