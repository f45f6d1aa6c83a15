// SPDX-License-Identifier: GPL-3.0-or-later
// The logind back end against a stand-in logind on a private bus (never the system bus).
#include "platform/qt/shutdown_api_dbus.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "restart/reboot.h"
#include "tests/support/qt/fake_logind.h"

namespace brisko::test {
namespace {

// Numbered as Shutdown gives them.
const std::string kNoRight = std::to_string(kErrNoShutdownRight) + " Can't enable shutdown: You do not " +
                             "have the privileges to shutdown this system. [";

// ShutdownSystem through the back end: "" when accepted, else the error's number and description.
std::string Shutdown(reboot& service, std::int32_t flags = 2) {
    try {
        EXPECT_TRUE(service.ShutdownSystem(flags));
        return {};
    } catch (const AppError& e) {
        return std::to_string(e.Number()) + " " + e.Description();
    }
}
std::string Shutdown(const QString& address, std::int32_t flags = 2) {
    ShutdownApiDbus api(address);
    reboot service(api, "/opt/brisko/brisko");
    return Shutdown(service, flags);
}

class DbusShutdown : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_logind.Address().isEmpty()) << m_logind.Error().toStdString(); }

    FakeLogind m_logind;
};

TEST_F(DbusShutdown, CanRebootDecidesAndTheFlagWordsPickTheRequest) {
    const QString session = "GetSessionByPID " + QString::number(QCoreApplication::applicationPid());
    const struct {
        const char* canReboot;
        std::int32_t flags;
        QStringList requests;  // after CanReboot; none when refused
    } cases[] = {
        {"yes", 2, {"Reboot true"}},
        {"challenge", 2, {"Reboot true"}},
        {"no", 2, {}},
        {"yes", 0, {session, "Terminate"}},
        {"yes", 1, {"PowerOff true"}},
        {"yes", 2 | 8, {"PowerOff true"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.canReboot) + " " + std::to_string(c.flags));
        m_logind.SetCanReboot(c.canReboot);
        const std::string refused = kNoRight + "The login manager does not allow this user to restart the "
                                               "computer (CanReboot answered \"" + c.canReboot + "\").\r\n]";
        EXPECT_EQ(Shutdown(m_logind.Address(), c.flags), c.requests.isEmpty() ? refused : "");
        EXPECT_EQ(m_logind.TakeCalls(), QStringList({"CanReboot"}) + c.requests);
    }
}

// logind's errors carry its own message, shortened when too long for the caller's
// buffer; without logind, or without a bus, the right is refused with a clear text.
TEST_F(DbusShutdown, LogindErrorsAndAMissingBusGiveAClearText) {
    m_logind.FailCall("Reboot", "org.freedesktop.DBus.Error.Failed", "Reboot failed.");
    EXPECT_EQ(Shutdown(m_logind.Address()), std::to_string(kErrShutdownFailed) + " ShutdownSystem failed: "
                                            "Reboot failed. (org.freedesktop.DBus.Error.Failed)\r\n");
    m_logind.FailCall("CanReboot", "org.example.Error.Long", QString(400, 'm'));
    const std::string error = Shutdown(m_logind.Address());
    EXPECT_EQ(error.rfind(kNoRight + "mmmm", 0), 0u) << error;
    EXPECT_EQ(error.substr(error.size() - 6), "...\r\n]");
    EXPECT_LE(error.size(), kNoRight.size() + 255);

    FakeLogind bus(false);
    const std::string unknown = Shutdown(bus.Address());
    EXPECT_EQ(unknown.rfind(kNoRight, 0), 0u) << unknown;
    EXPECT_NE(unknown.find("ServiceUnknown"), std::string::npos) << unknown;
    // Asked again, it tries again.
    ShutdownApiDbus api("unix:path=/nonexistent/brisko-test-bus");
    reboot service(api, "brisko");
    const std::string noBus =
        kNoRight + "The system message bus is not available, so the login manager cannot be asked";
    for (int attempt = 0; attempt < 2; ++attempt) EXPECT_EQ(Shutdown(service).rfind(noBus, 0), 0u);
}

// While logind waits for the user's password the event loop runs on; the answer comes
// through it, and a refusal is told apart from a fault.
TEST_F(DbusShutdown, AnAnswerThatWaitsForThePasswordComesThroughTheEventLoop) {
    const struct {
        QString errorName;
        bool refused;
    } cases[] = {
        {"", false},
        {"org.freedesktop.DBus.Error.AccessDenied", true},
        {"org.freedesktop.PolicyKit1.Error.Cancelled", true},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", true},
        {"org.freedesktop.DBus.Error.NoReply", true},
        {"org.freedesktop.DBus.Error.Failed", false},
    };
    m_logind.HoldReboot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errorName.toStdString());
        ShutdownApiDbus api(m_logind.Address());
        reboot service(api, "/opt/brisko/brisko");
        std::optional<ShutdownAnswer> answer;
        ASSERT_TRUE(service.ShutdownSystemAsync(2, [&](const ShutdownAnswer& a) { answer = a; }));
        bool ticked = false;
        QTimer::singleShot(1, [&] { ticked = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return ticked && m_logind.HeldCount() == 1; }));
        EXPECT_FALSE(answer.has_value());

        m_logind.AnswerHeld(c.errorName, "No.");
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }));
        EXPECT_EQ(answer->accepted, c.errorName.isEmpty());
        EXPECT_EQ(answer->refusedByUser, c.refused);
        if (!c.errorName.isEmpty()) {
            EXPECT_EQ(answer->error->Number(), kErrShutdownFailed);
            EXPECT_EQ(answer->error->Description(),
                      "ShutdownSystem failed: No. (" + c.errorName.toStdString() + ")\r\n");
        }
        EXPECT_EQ(m_logind.TakeCalls(), QStringList({"CanReboot", "Reboot true"}));
    }
}

}  // namespace
}  // namespace brisko::test
