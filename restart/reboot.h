// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shutdown service: asks the system to log off, shut down, restart or power
// off. Every failure is thrown as an AppError for the caller to handle.
#include <cstdint>
#include <functional>
#include <optional>
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

// The system's answer to a request made with ShutdownSystemAsync.
struct ShutdownAnswer {
    bool accepted = false;
    // The user cancelled or was refused the authorisation the system asked for: worth
    // telling, but nothing is wrong with the program.
    bool refusedByUser = false;
    std::optional<AppError> error;  // when not accepted: what ShutdownSystem would raise
};

// One instance lives for the whole run: it holds the platform cache.
class reboot {
public:
    reboot(ShutdownApi& api, const std::string& programPath);

    // flags: the ExitWindowsEx flag word, 0 to 31. True once the system has accepted
    // the request; throws AppError otherwise.
    bool ShutdownSystem(std::int32_t flags);

    // ShutdownSystem for the user interface, which must stay live while the system
    // asks the user for a password: the checks and the privilege are done here and
    // throw as ShutdownSystem does; the answer to the request comes to done, perhaps
    // later, from the event loop. Returns false, doing nothing, while an earlier
    // request still waits for its answer.
    bool ShutdownSystemAsync(std::int32_t flags, std::function<void(const ShutdownAnswer&)> done);
    bool RequestPending() const { return m_pending; }

private:
    void PrepareRequest(std::int32_t flags);
    AppError RequestFailed(std::uint32_t error);
    bool EnableShutdownPrivilege();
    bool IsWindowsNT();
    std::string ApiErrorText(std::uint32_t code);
    [[noreturn]] void Raise(long number, const std::string& description) const;

    ShutdownApi& m_api;
    std::string m_source;
    // Platform cache: set once the version has been read successfully.
    bool m_determined = false;
    bool m_isNt = false;
    bool m_pending = false;  // a request is waiting for its answer
};

}  // namespace brisko
