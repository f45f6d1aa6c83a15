// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>
#include <QObject>
#include <map>
#include <memory>
#include <optional>

#include "platform/shutdown_api.h"

namespace brisko {

// The shutdown calls on systemd-logind. The "token" stands for this program's right
// to shut down: adjusting it asks logind whether this user may reboot, and
// ExitWindowsEx asks logind to reboot, power off or end the own session.
// Failures keep Windows' shape: false plus a last-error code whose text
// FormatMessageA gives (the D-Bus error's own message where there is one).
class ShutdownApiDbus final : public ShutdownApi {
public:
    // busAddress empty: the system bus, where logind lives. Otherwise a D-Bus address
    // to connect to instead (a private bus with a stand-in for logind).
    explicit ShutdownApiDbus(QString busAddress = {});
    ~ShutdownApiDbus() override;
    ShutdownApiDbus(const ShutdownApiDbus&) = delete;
    ShutdownApiDbus& operator=(const ShutdownApiDbus&) = delete;

    bool LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) override;
    ApiHandle GetCurrentProcess() override;
    bool OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) override;
    bool AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges, const TokenPrivileges* newState,
                               std::uint32_t bufferLength, TokenPrivileges* previousState,
                               std::uint32_t* returnLength) override;
    bool CloseHandle(ApiHandle handle) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    // Sends the request and returns; done runs from the event loop when logind answers,
    // which for a restart may be once the user has typed a password, or given up.
    void ExitWindowsExAsync(std::uint32_t flags, std::uint32_t reason, std::function<void(bool)> done) override;
    bool GetVersionExA(OsVersionInfo* info) override;
    std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                                std::uint32_t languageId, char* buffer, std::uint32_t size,
                                void* arguments) override;
    std::uint32_t GetLastError() override { return m_lastError; }

    // Codes of this back end's own failures (the customer bit of Windows codes is set).
    static constexpr std::uint32_t kErrorNoBus = 0x20000001;       // no bus to reach logind on
    static constexpr std::uint32_t kErrorLogindCall = 0x20000002;  // logind answered with an error

private:
    bool Connected();
    bool Fail(std::uint32_t code, const std::string& text = {});
    bool FailFromReply(const QDBusMessage& reply);
    // The answer to a request the user may have had to authorise.
    bool FailFromInteractiveReply(const QDBusMessage& reply);
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments, int timeoutMs);
    // The logind call that carries out ExitWindowsEx(flags); false (last error set)
    // when there is none to make.
    bool ExitRequest(std::uint32_t flags, QDBusMessage* request);
    bool AskMayReboot();

    QString m_address;
    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
    std::uint32_t m_lastError = 0;
    std::map<std::uint32_t, std::string> m_texts;  // texts of the last failures, by code
    std::map<ApiHandle, std::uint32_t> m_tokens;    // open tokens and their access masks
    ApiHandle m_nextToken = 0x100;
    bool m_shutdownEnabled = false;
    // Parent of the watchers of requests in flight: with it they go, unanswered.
    std::unique_ptr<QObject> m_pending = std::make_unique<QObject>();
};

}  // namespace brisko
