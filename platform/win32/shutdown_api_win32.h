// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include "platform/shutdown_api.h"

namespace brisko {

// The advapi32 / kernel32 / user32 functions the back end calls. Tests put their
// own in place of any of them, to make a call fail or to keep ExitWindowsEx from
// ever reaching the system.
struct ShutdownCallsWin32 {
    decltype(&::LookupPrivilegeValueA) lookupPrivilegeValue = &::LookupPrivilegeValueA;
    decltype(&::GetCurrentProcess) getCurrentProcess = &::GetCurrentProcess;
    decltype(&::OpenProcessToken) openProcessToken = &::OpenProcessToken;
    decltype(&::AdjustTokenPrivileges) adjustTokenPrivileges = &::AdjustTokenPrivileges;
    decltype(&::CloseHandle) closeHandle = &::CloseHandle;
    decltype(&::ExitWindowsEx) exitWindowsEx = &::ExitWindowsEx;
    decltype(&::GetVersionExA) getVersionEx = &::GetVersionExA;
    decltype(&::FormatMessageA) formatMessage = &::FormatMessageA;
};

// The shutdown calls themselves. The last error is taken right after each call, so
// nothing the runtime does in between can change it; AdjustTokenPrivileges leaves
// ERROR_NOT_ALL_ASSIGNED there when it succeeds without the privilege.
class ShutdownApiWin32 final : public ShutdownApi {
public:
    explicit ShutdownApiWin32(ShutdownCallsWin32 calls = {}) : m_calls(calls) {}

    bool LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) override;
    ApiHandle GetCurrentProcess() override;
    bool OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) override;
    bool AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges, const TokenPrivileges* newState,
                               std::uint32_t bufferLength, TokenPrivileges* previousState,
                               std::uint32_t* returnLength) override;
    bool CloseHandle(ApiHandle handle) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    bool GetVersionExA(OsVersionInfo* info) override;
    std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                                std::uint32_t languageId, char* buffer, std::uint32_t size,
                                void* arguments) override;
    std::uint32_t GetLastError() override { return m_lastError; }

private:
    template <typename Result>
    Result Keep(Result result) {
        m_lastError = ::GetLastError();
        return result;
    }

    ShutdownCallsWin32 m_calls;
    std::uint32_t m_lastError = 0;
};

}  // namespace brisko
