// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/shutdown_api_dbus.h"

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QUuid>
#include <cstring>
#include <strings.h>

namespace brisko {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

constexpr ApiHandle kCurrentProcess = ~ApiHandle{0};  // Windows' pseudo handle, (HANDLE)-1
constexpr Luid kShutdownLuid{19, 0};

// Asking the questions is quick; a reboot may wait for the user to authenticate.
constexpr int kQueryTimeoutMs = 25000;
constexpr int kInteractiveTimeoutMs = 180000;

const char* SystemText(std::uint32_t code) {
    switch (code) {
    case kWinErrorAccessDenied: return "Access is denied.\r\n";
    case kWinErrorCancelled: return "The operation was canceled by the user.\r\n";
    case kWinErrorTimeout: return "This operation returned because the timeout period expired.\r\n";
    case kWinErrorInvalidHandle: return "The handle is invalid.\r\n";
    case kWinErrorInvalidParameter: return "The parameter is incorrect.\r\n";
    case kWinErrorInsufficientBuffer: return "The data area passed to a system call is too small.\r\n";
    case kWinErrorNoSuchPrivilege: return "A specified privilege does not exist.\r\n";
    case kWinErrorPrivilegeNotHeld: return "A required privilege is not held by the client.\r\n";
    default: return nullptr;
    }
}

// Callers read texts into 255-character buffers and get nothing at all for a longer
// one; a shortened message tells the user more than none.
std::string FitMessage(std::string text) {
    constexpr std::size_t kLimit = 252;
    if (text.size() <= kLimit) return text;
    std::size_t cut = kLimit - 5;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
    text.resize(cut);
    return text + "...\r\n";
}

}  // namespace

ShutdownApiDbus::ShutdownApiDbus(QString busAddress)
    : m_address(std::move(busAddress)),
      m_connectionName("brisko-shutdown-" + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

ShutdownApiDbus::~ShutdownApiDbus() {
    if (!m_address.isEmpty() && m_bus) QDBusConnection::disconnectFromBus(m_connectionName);
}

bool ShutdownApiDbus::Fail(std::uint32_t code, const std::string& text) {
    m_lastError = code;
    // Without a text of its own the code has the system's fixed one, not an older text.
    if (text.empty())
        m_texts.erase(code);
    else
        m_texts[code] = FitMessage(text);
    return false;
}

bool ShutdownApiDbus::FailFromReply(const QDBusMessage& reply) {
    QString text = reply.errorMessage();
    if (text.isEmpty()) text = "The login manager gave no answer";
    if (!reply.errorName().isEmpty()) text += " (" + reply.errorName() + ")";
    return Fail(kErrorLogindCall, text.toStdString() + "\r\n");
}

bool ShutdownApiDbus::Connected() {
    if (!m_bus) {
        m_bus = m_address.isEmpty() ? QDBusConnection::systemBus()
                                    : QDBusConnection::connectToBus(m_address, m_connectionName);
    }
    if (m_bus->isConnected()) return true;
    const QString why = m_bus->lastError().message();
    if (!m_address.isEmpty()) {
        // Let the next call try again.
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_bus.reset();
    }
    std::string text = "The system message bus is not available, so the login manager cannot be asked";
    text += why.isEmpty() ? std::string(".") : ": " + why.toStdString();
    return Fail(kErrorNoBus, text + "\r\n");
}

bool ShutdownApiDbus::FailFromInteractiveReply(const QDBusMessage& reply) {
    FailFromReply(reply);
    // The user said no, or could not be asked, or never answered: Windows' codes for a
    // refusal, so that callers can tell it from a fault.
    const QString name = reply.errorName();
    std::uint32_t code = 0;
    if (name == "org.freedesktop.DBus.Error.AccessDenied" || name == "org.freedesktop.PolicyKit1.Error.NotAuthorized")
        code = kWinErrorAccessDenied;
    else if (name == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired" ||
             name == "org.freedesktop.PolicyKit1.Error.Cancelled")
        code = kWinErrorCancelled;
    else if (name == "org.freedesktop.DBus.Error.NoReply")
        code = kWinErrorTimeout;
    if (code != 0) Fail(code, m_texts[kErrorLogindCall]);
    return false;
}

namespace {
QDBusMessage Request(const QString& path, const QString& interface, const QString& method,
                     const QVariantList& arguments, bool interactive) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    message.setInteractiveAuthorizationAllowed(interactive);
    return message;
}
}  // namespace

QDBusMessage ShutdownApiDbus::Call(const QString& path, const QString& interface, const QString& method,
                                   const QVariantList& arguments, int timeoutMs) {
    return m_bus->call(Request(path, interface, method, arguments, timeoutMs == kInteractiveTimeoutMs), QDBus::Block,
                       timeoutMs);
}

bool ShutdownApiDbus::LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) {
    if (luid == nullptr) return Fail(kWinErrorInvalidParameter);
    if (systemName != nullptr && *systemName != '\0') return Fail(kWinErrorInvalidParameter);
    if (strcasecmp(name.c_str(), kSeShutdownName) != 0) return Fail(kWinErrorNoSuchPrivilege);
    *luid = kShutdownLuid;
    return true;
}

ApiHandle ShutdownApiDbus::GetCurrentProcess() { return kCurrentProcess; }

bool ShutdownApiDbus::OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) {
    if (token == nullptr) return Fail(kWinErrorInvalidParameter);
    if (process != kCurrentProcess) return Fail(kWinErrorInvalidHandle);
    // Without a bus there is no one to grant the right; say so at once.
    if (!Connected()) return false;
    *token = m_nextToken;
    m_tokens[m_nextToken] = desiredAccess;
    m_nextToken += 4;
    return true;
}

bool ShutdownApiDbus::AskMayReboot() {
    if (!Connected()) return false;
    const QDBusMessage reply = Call(kManagerPath, kManager, "CanReboot", {}, kQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) return FailFromReply(reply);
    const QString answer = reply.arguments().value(0).toString();
    // "challenge": allowed once the user authenticates, which the reboot call asks for.
    if (answer == "yes" || answer == "challenge") return true;
    return Fail(kWinErrorPrivilegeNotHeld,
                "The login manager does not allow this user to restart the computer (CanReboot answered \"" +
                    answer.toStdString() + "\").\r\n");
}

bool ShutdownApiDbus::AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges,
                                            const TokenPrivileges* newState, std::uint32_t bufferLength,
                                            TokenPrivileges* previousState, std::uint32_t* returnLength) {
    const auto found = m_tokens.find(token);
    if (found == m_tokens.end()) return Fail(kWinErrorInvalidHandle);
    if ((found->second & kTokenAdjustPrivileges) == 0) return Fail(kWinErrorAccessDenied);
    if (previousState != nullptr && (bufferLength < sizeof(TokenPrivileges) || returnLength == nullptr))
        return Fail(kWinErrorInsufficientBuffer);

    const bool wasEnabled = m_shutdownEnabled;
    bool enable = false;
    if (!disableAllPrivileges) {
        if (newState == nullptr || newState->privilegeCount != 1) return Fail(kWinErrorInvalidParameter);
        const LuidAndAttributes& entry = newState->privileges[0];
        if (entry.luid.lowPart != kShutdownLuid.lowPart || entry.luid.highPart != kShutdownLuid.highPart)
            return Fail(kWinErrorNoSuchPrivilege);
        enable = (entry.attributes & kSePrivilegeEnabled) != 0;
        if (enable && !AskMayReboot()) return false;
    }
    m_shutdownEnabled = enable;
    if (previousState != nullptr) {
        previousState->privilegeCount = 1;
        previousState->privileges[0].luid = kShutdownLuid;
        previousState->privileges[0].attributes = wasEnabled ? kSePrivilegeEnabled : 0;
        *returnLength = sizeof(TokenPrivileges);
    }
    return true;
}

bool ShutdownApiDbus::CloseHandle(ApiHandle handle) {
    if (handle == kCurrentProcess) return true;
    if (m_tokens.erase(handle) == 0) return Fail(kWinErrorInvalidHandle);
    return true;
}

bool ShutdownApiDbus::ExitRequest(std::uint32_t flags, QDBusMessage* request) {
    if (flags > 31) return Fail(kWinErrorInvalidParameter);
    // Force bits have no logind counterpart: logind's own rules for inhibitors apply.
    QString method;
    if (flags & kEwxPowerOff) method = "PowerOff";
    else if (flags & kEwxReboot) method = "Reboot";
    else if (flags & kEwxShutdown) method = "PowerOff";  // logind's "halt" leaves the machine on

    if (method.isEmpty()) {
        // Log off: end the session this program runs in.
        if (!Connected()) return false;
        const QDBusMessage session =
            Call(kManagerPath, kManager, "GetSessionByPID",
                 {QVariant::fromValue(static_cast<uint>(QCoreApplication::applicationPid()))}, kQueryTimeoutMs);
        if (session.type() != QDBusMessage::ReplyMessage) return FailFromReply(session);
        const QString path = qvariant_cast<QDBusObjectPath>(session.arguments().value(0)).path();
        if (path.isEmpty())
            return Fail(kErrorLogindCall, "The login manager did not name this program's session.\r\n");
        *request = Request(path, kSession, "Terminate", {}, true);
        return true;
    }
    // As on Windows, only a process that enabled its shutdown right may shut down.
    if (!m_shutdownEnabled) return Fail(kWinErrorPrivilegeNotHeld);
    if (!Connected()) return false;
    *request = Request(kManagerPath, kManager, method, {true}, true);
    return true;
}

bool ShutdownApiDbus::ExitWindowsEx(std::uint32_t flags, std::uint32_t /*reason*/) {
    QDBusMessage request;
    if (!ExitRequest(flags, &request)) return false;
    const QDBusMessage reply = m_bus->call(request, QDBus::Block, kInteractiveTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) return FailFromInteractiveReply(reply);
    return true;
}

void ShutdownApiDbus::ExitWindowsExAsync(std::uint32_t flags, std::uint32_t /*reason*/, std::function<void(bool)> done) {
    QDBusMessage request;
    if (!ExitRequest(flags, &request)) {
        done(false);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(request, kInteractiveTimeoutMs), m_pending.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [this, watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        done(reply.type() == QDBusMessage::ReplyMessage || FailFromInteractiveReply(reply));
    });
}

bool ShutdownApiDbus::GetVersionExA(OsVersionInfo* info) {
    if (info == nullptr) return Fail(kWinErrorInvalidParameter);
    if (info->osVersionInfoSize != sizeof(OsVersionInfo)) return Fail(kWinErrorInsufficientBuffer);
    // The calls above behave as the NT family's do (a right to enable first).
    *info = OsVersionInfo{};
    info->osVersionInfoSize = sizeof(OsVersionInfo);
    info->majorVersion = 6;
    info->minorVersion = 0;
    info->buildNumber = 6000;
    info->platformId = kVerPlatformWin32Nt;
    return true;
}

std::uint32_t ShutdownApiDbus::FormatMessageA(std::uint32_t flags, const void* /*source*/,
                                             std::uint32_t messageId, std::uint32_t /*languageId*/,
                                             char* buffer, std::uint32_t size, void* /*arguments*/) {
    if ((flags & kFormatMessageFromSystem) == 0 || buffer == nullptr || size == 0) {
        Fail(kWinErrorInvalidParameter);
        return 0;
    }
    std::string text;
    if (const auto found = m_texts.find(messageId); found != m_texts.end()) text = found->second;
    else if (const char* fixed = SystemText(messageId)) text = fixed;
    if (text.empty()) {
        Fail(kWinErrorMrMidNotFound);
        return 0;
    }
    // Room is needed for the terminating zero too; a text that does not fit stores nothing.
    if (text.size() + 1 > size) {
        Fail(kWinErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return static_cast<std::uint32_t>(text.size());
}

}  // namespace brisko
