// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/shutdown_api_win32.h"

namespace brisko {

// The records travel to the system as they are.
static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(TokenPrivileges));
static_assert(sizeof(OSVERSIONINFOA) == sizeof(OsVersionInfo));

namespace {
HANDLE ToHandle(ApiHandle h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

bool ShutdownApiWin32::LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) {
    LUID found{};
    const bool ok = Keep(m_calls.lookupPrivilegeValue(systemName, name.c_str(), &found) != FALSE);
    if (ok) {
        luid->lowPart = found.LowPart;
        luid->highPart = found.HighPart;
    }
    return ok;
}

ApiHandle ShutdownApiWin32::GetCurrentProcess() {
    // The pseudo handle, -1: never 0.
    return Keep(reinterpret_cast<ApiHandle>(m_calls.getCurrentProcess()));
}

bool ShutdownApiWin32::OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) {
    HANDLE opened = nullptr;
    const bool ok = Keep(m_calls.openProcessToken(ToHandle(process), desiredAccess, &opened) != FALSE);
    *token = ok ? reinterpret_cast<ApiHandle>(opened) : 0;
    return ok;
}

bool ShutdownApiWin32::AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges,
                                             const TokenPrivileges* newState, std::uint32_t bufferLength,
                                             TokenPrivileges* previousState, std::uint32_t* returnLength) {
    TOKEN_PRIVILEGES request{};
    request.PrivilegeCount = newState->privilegeCount;
    request.Privileges[0].Luid.LowPart = newState->privileges[0].luid.lowPart;
    request.Privileges[0].Luid.HighPart = newState->privileges[0].luid.highPart;
    request.Privileges[0].Attributes = newState->privileges[0].attributes;
    TOKEN_PRIVILEGES previous{};
    DWORD length = 0;
    const bool ok = Keep(m_calls.adjustTokenPrivileges(ToHandle(token), disableAllPrivileges ? TRUE : FALSE,
                                                       &request, bufferLength,
                                                       previousState ? &previous : nullptr,
                                                       returnLength ? &length : nullptr) != FALSE);
    if (ok && previousState) {
        previousState->privilegeCount = previous.PrivilegeCount;
        previousState->privileges[0].luid = {previous.Privileges[0].Luid.LowPart, previous.Privileges[0].Luid.HighPart};
        previousState->privileges[0].attributes = previous.Privileges[0].Attributes;
    }
    if (returnLength) *returnLength = length;
    return ok;
}

bool ShutdownApiWin32::CloseHandle(ApiHandle handle) { return Keep(m_calls.closeHandle(ToHandle(handle)) != FALSE); }

bool ShutdownApiWin32::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    return Keep(m_calls.exitWindowsEx(flags, reason) != FALSE);
}

bool ShutdownApiWin32::GetVersionExA(OsVersionInfo* info) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = info->osVersionInfoSize;
    const bool ok = Keep(m_calls.getVersionEx(&version) != FALSE);
    if (ok) {
        info->majorVersion = version.dwMajorVersion;
        info->minorVersion = version.dwMinorVersion;
        info->buildNumber = version.dwBuildNumber;
        info->platformId = version.dwPlatformId;
        static_assert(sizeof info->csdVersion == sizeof version.szCSDVersion);
        for (std::size_t i = 0; i < sizeof info->csdVersion; ++i) info->csdVersion[i] = version.szCSDVersion[i];
    }
    return ok;
}

std::uint32_t ShutdownApiWin32::FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                                               std::uint32_t languageId, char* buffer, std::uint32_t size,
                                               void* arguments) {
    return Keep(m_calls.formatMessage(flags, source, messageId, languageId, buffer, size,
                                      static_cast<va_list*>(arguments)));
}

}  // namespace brisko
