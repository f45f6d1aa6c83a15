#pragma once
// The shutdown service: asks the system to log off, shut down, restart or power
// off. Every failure is thrown as an AppError for the caller to handle.
#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/shutdown_api.h"

namespace brisko {

inline constexpr long kErrShutdownFailed = 0x80040000L + 1579;    // 0x8004062B
inline constexpr long kErrNoShutdownLuid = 0x80040000L + 1580;    // 0x8004062C
inline constexpr long kErrNoCurrentProcess = 0x80040000L + 1581;  // 0x8004062D
inline constexpr long kErrNoShutdownRight = 0x80040000L + 1582;   // 0x8004062E
inline constexpr long kErrBadShutdownFlags = 0x80040000L + 1583;  // 0x8004062F

// "C:\x\Brisko.exe" or "/opt/brisko/brisko" -> "Brisko.mShutDown" / "brisko.mShutDown".
std::string ShutdownErrorSource(const std::string& programPath);

// One instance lives for the whole run: it holds the platform cache.
class reboot {
public:
    reboot(ShutdownApi& api, const std::string& programPath);

    // flags: the ExitWindowsEx flag word, 0 to 31. True once the system has accepted
    // the request; throws AppError otherwise.
    bool ShutdownSystem(std::int32_t flags);

private:
    bool EnableShutdownPrivilege();
    bool IsWindowsNT();
    std::string ApiErrorText(std::uint32_t code);
    [[noreturn]] void Raise(long number, const std::string& description) const;

    ShutdownApi& m_api;
    std::string m_source;
    // Platform cache: set once the version has been read successfully.
    bool m_determined = false;
    bool m_isNt = false;
};

}  // namespace brisko
