// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The advapi32 / kernel32 / user32 calls the shutdown service makes, with their
// Windows semantics (nonzero-or-false results, a per-thread last error).
// Back ends: ShutdownApiDbus (qt/: systemd-logind over D-Bus), ShutdownApiWin32 (win32/:
// the advapi32 and user32 calls themselves).
// DesktopServices (platform/services.h) owns it; the shutdown service `reboot` borrows it.
#include <cstdint>
#include <functional>
#include <string>

namespace brisko {

using ApiHandle = std::uintptr_t;  // 0 is never a valid handle

struct Luid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

struct LuidAndAttributes {
    Luid luid;
    std::uint32_t attributes = 0;
};

// TOKEN_PRIVILEGES with room for exactly one entry.
struct TokenPrivileges {
    std::uint32_t privilegeCount = 0;
    LuidAndAttributes privileges[1];
};
static_assert(sizeof(TokenPrivileges) == 16);

// OSVERSIONINFOA.
struct OsVersionInfo {
    std::uint32_t osVersionInfoSize = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    char csdVersion[128] = {};
};
static_assert(sizeof(OsVersionInfo) == 148);

inline constexpr const char* kSeShutdownName = "SeShutdownPrivilege";
inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
inline constexpr std::uint32_t kTokenQuery = 0x08;
inline constexpr std::uint32_t kSePrivilegeEnabled = 0x02;
inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;
inline constexpr std::uint32_t kFormatMessageFromSystem = 0x1000;
inline constexpr std::uint32_t kFormatMessageIgnoreInserts = 0x200;

// ExitWindowsEx flag bits.
inline constexpr std::uint32_t kEwxLogoff = 0;
inline constexpr std::uint32_t kEwxShutdown = 1;
inline constexpr std::uint32_t kEwxReboot = 2;
inline constexpr std::uint32_t kEwxForce = 4;
inline constexpr std::uint32_t kEwxPowerOff = 8;
inline constexpr std::uint32_t kEwxForceIfHung = 16;

// Windows error codes the back ends report.
inline constexpr std::uint32_t kWinErrorAccessDenied = 5;
inline constexpr std::uint32_t kWinErrorInvalidHandle = 6;
inline constexpr std::uint32_t kWinErrorInvalidParameter = 87;
inline constexpr std::uint32_t kWinErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kWinErrorMrMidNotFound = 317;
inline constexpr std::uint32_t kWinErrorNoSuchPrivilege = 1313;
inline constexpr std::uint32_t kWinErrorCancelled = 1223;  // "The operation was canceled by the user."
inline constexpr std::uint32_t kWinErrorPrivilegeNotHeld = 1314;
inline constexpr std::uint32_t kWinErrorTimeout = 1460;

class ShutdownApi {
public:
    virtual ~ShutdownApi() = default;

    // systemName null means the local machine. The ANSI names are kept, since
    // windows.h turns the plain ones into macros.
    virtual bool LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) = 0;
    // A handle of the own process (Windows gives a pseudo handle); 0 on failure.
    virtual ApiHandle GetCurrentProcess() = 0;
    virtual bool OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) = 0;
    virtual bool AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges,
                                       const TokenPrivileges* newState, std::uint32_t bufferLength,
                                       TokenPrivileges* previousState, std::uint32_t* returnLength) = 0;
    virtual bool CloseHandle(ApiHandle handle) = 0;
    // Returns at once; the system carries out the request afterwards.
    virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;
    // ExitWindowsEx for a caller that must not block: done gets the result, and
    // GetLastError tells why when it is false. Windows answers at once, so done runs
    // before this returns (this default). A back end whose answer waits for the user
    // (a password asked before a restart) returns at once and calls done later, from
    // the event loop; with access denied (5), cancelled (1223) or timed out (1460) when
    // the user refused, cancelled or left the question unanswered.
    virtual void ExitWindowsExAsync(std::uint32_t flags, std::uint32_t reason, std::function<void(bool)> done) {
        done(ExitWindowsEx(flags, reason));
    }
    // Fails unless osVersionInfoSize is 148.
    virtual bool GetVersionExA(OsVersionInfo* info) = 0;
    // FormatMessageA into a caller's buffer of size characters: returns the count
    // stored (without the terminating zero), 0 when there is no text for the code or
    // it does not fit.
    virtual std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                                        std::uint32_t languageId, char* buffer, std::uint32_t size,
                                        void* arguments) = 0;
    // The last error of the calling thread, as left by the call that failed.
    virtual std::uint32_t GetLastError() = 0;
};

}  // namespace brisko
