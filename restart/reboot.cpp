// SPDX-License-Identifier: GPL-3.0-or-later
#include "restart/reboot.h"

#include <algorithm>

namespace brisko {

namespace {

constexpr std::uint32_t kMessageBufferSize = 255;
constexpr const char* kCantEnable = "Can't enable shutdown: ";

// Closes the token on every way out of the privilege step.
class TokenGuard {
public:
    TokenGuard(ShutdownApi& api, ApiHandle token) : m_api(api), m_token(token) {}
    ~TokenGuard() { Close(); }
    TokenGuard(const TokenGuard&) = delete;
    TokenGuard& operator=(const TokenGuard&) = delete;
    void Close() {
        if (m_token != 0) m_api.CloseHandle(m_token);
        m_token = 0;
    }

private:
    ShutdownApi& m_api;
    ApiHandle m_token;
};

}  // namespace

std::string ShutdownErrorSource(const std::string& programPath) {
    const auto slash = programPath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name + ".mShutDown";
}

reboot::reboot(ShutdownApi& api, const std::string& programPath)
    : m_api(api), m_source(ShutdownErrorSource(programPath)) {}

bool reboot::ShutdownSystem(std::int32_t flags) {
    PrepareRequest(flags);
    if (m_api.ExitWindowsEx(static_cast<std::uint32_t>(flags), 0xFFFFFFFFu)) return true;
    throw RequestFailed(m_api.GetLastError());
}

bool reboot::ShutdownSystemAsync(std::int32_t flags, std::function<void(const ShutdownAnswer&)> done) {
    if (m_pending) return false;
    PrepareRequest(flags);
    m_pending = true;
    m_api.ExitWindowsExAsync(static_cast<std::uint32_t>(flags), 0xFFFFFFFFu,
                             [this, done = std::move(done)](bool accepted) {
                                 m_pending = false;
                                 ShutdownAnswer answer;
                                 answer.accepted = accepted;
                                 if (!accepted) {
                                     const std::uint32_t error = m_api.GetLastError();
                                     answer.refusedByUser = error == kWinErrorAccessDenied ||
                                                            error == kWinErrorCancelled || error == kWinErrorTimeout;
                                     answer.error = RequestFailed(error);
                                 }
                                 done(answer);
                             });
    return true;
}

void reboot::PrepareRequest(std::int32_t flags) {
    if (flags < 0 || flags > 31)
        Raise(kErrBadShutdownFlags, "Invalid parameter to ShutdownSystem: " + std::to_string(flags));
    if (IsWindowsNT()) EnableShutdownPrivilege();
}

AppError reboot::RequestFailed(std::uint32_t error) {
    return AppError(kErrShutdownFailed, m_source, "ShutdownSystem failed: " + ApiErrorText(error));
}

bool reboot::EnableShutdownPrivilege() {
    Luid luid;
    if (!m_api.LookupPrivilegeValueA(nullptr, kSeShutdownName, &luid)) {
        const std::uint32_t error = m_api.GetLastError();
        Raise(kErrNoShutdownLuid, std::string(kCantEnable) +
                                      "Can't find the SE_SHUTDOWN_NAME privilege value. [" +
                                      ApiErrorText(error) + "]");
    }
    const ApiHandle process = m_api.GetCurrentProcess();
    if (process == 0) {
        const std::uint32_t error = m_api.GetLastError();
        Raise(kErrNoCurrentProcess, std::string(kCantEnable) + "Can't determine the current process. [" +
                                        ApiErrorText(error) + "]");
    }
    const std::string noRight = std::string(kCantEnable) + "You do not have the privileges to " +
                                "shutdown this system. [";
    ApiHandle token = 0;
    if (!m_api.OpenProcessToken(process, kTokenAdjustPrivileges | kTokenQuery, &token)) {
        const std::uint32_t error = m_api.GetLastError();
        Raise(kErrNoShutdownRight, noRight + ApiErrorText(error) + "]");
    }
    TokenGuard guard(m_api, token);

    TokenPrivileges request;
    request.privilegeCount = 1;
    request.privileges[0].luid = luid;
    request.privileges[0].attributes = kSePrivilegeEnabled;
    TokenPrivileges previous;
    std::uint32_t returnLength = 0;
    // A nonzero result counts as success; a partial assignment shows up later as a
    // refused ExitWindowsEx with the system's own text.
    if (!m_api.AdjustTokenPrivileges(token, false, &request, sizeof request, &previous, &returnLength)) {
        const std::uint32_t error = m_api.GetLastError();
        guard.Close();
        Raise(kErrNoShutdownRight, noRight + ApiErrorText(error) + "]");
    }
    guard.Close();
    return true;
}

bool reboot::IsWindowsNT() {
    if (m_determined) return m_isNt;
    OsVersionInfo info;
    info.osVersionInfoSize = sizeof info;
    // A failed ask is not remembered: the next call asks again.
    if (!m_api.GetVersionExA(&info)) return m_isNt;
    m_isNt = info.platformId == kVerPlatformWin32Nt;
    m_determined = true;
    return m_isNt;
}

std::string reboot::ApiErrorText(std::uint32_t code) {
    std::string buffer(kMessageBufferSize, ' ');
    const std::uint32_t stored =
        m_api.FormatMessageA(kFormatMessageFromSystem | kFormatMessageIgnoreInserts, nullptr, code, 0,
                            buffer.data(), kMessageBufferSize, nullptr);
    if (stored == 0) return {};
    buffer.resize(std::min(stored, kMessageBufferSize));
    return buffer;
}

void reboot::Raise(long number, const std::string& description) const {
    throw AppError(number, m_source, description);
}

}  // namespace brisko
