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

const std::string kNoRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";

class DbusShutdown : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_logind.Address().isEmpty()) << m_logind.Error().toStdString(); }

    // ShutdownSystem through the back end: "" when accepted, else the error's number and description.
    static std::string Shutdown(std::int32_t flags, const QString& address) {
        ShutdownApiDbus api(address);
        reboot service(api, "/opt/brisko/brisko");
        try {
            EXPECT_TRUE(service.ShutdownSystem(flags));
            return {};
        } catch (const AppError& e) {
            return std::to_string(e.Number()) + " " + e.Description();
        }
    }
    std::string Shutdown(std::int32_t flags) { return Shutdown(flags, m_logind.Address()); }

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
        const std::string refused = std::to_string(kErrNoShutdownRight) + " " + kNoRight +
                                    "The login manager does not allow this user to restart the computer "
                                    "(CanReboot answered \"" + c.canReboot + "\").\r\n]";
        EXPECT_EQ(Shutdown(c.flags), c.requests.isEmpty() ? refused : "");
        EXPECT_EQ(m_logind.TakeCalls(), QStringList({"CanReboot"}) + c.requests);
    }
}

TEST_F(DbusShutdown, LogindErrorsCarryTheirOwnMessage) {
    m_logind.FailCall("Reboot", "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                      "Interactive authentication required.");
    EXPECT_EQ(Shutdown(2), std::to_string(kErrShutdownFailed) +
                               " ShutdownSystem failed: Interactive authentication required. "
                               "(org.freedesktop.DBus.Error.InteractiveAuthorizationRequired)\r\n");
    // A message too long for the caller's buffer is shortened, not lost.
    m_logind.FailCall("CanReboot", "org.example.Error.Long", QString(400, 'm'));
    const std::string error = Shutdown(2);
    const std::string start = std::to_string(kErrNoShutdownRight) + " " + kNoRight + "mmmm";
    EXPECT_EQ(error.rfind(start, 0), 0u) << error;
    EXPECT_EQ(error.substr(error.size() - 6), "...\r\n]");
    EXPECT_LE(error.size(), start.size() - 4 + 255);
}

TEST_F(DbusShutdown, MissingLogindOrBusRefusesThePrivilegeWithAClearText) {
    FakeLogind bus(false);
    const std::string error = Shutdown(2, bus.Address());
    EXPECT_EQ(error.rfind(std::to_string(kErrNoShutdownRight) + " " + kNoRight, 0), 0u) << error;
    EXPECT_NE(error.find("ServiceUnknown"), std::string::npos) << error;

    ShutdownApiDbus api("unix:path=/nonexistent/brisko-test-bus");
    reboot service(api, "brisko");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            service.ShutdownSystem(2);
            ADD_FAILURE() << "accepted without a bus";
        } catch (const AppError& e) {
            EXPECT_EQ(e.Number(), kErrNoShutdownRight);
            EXPECT_EQ(e.Description().rfind(kNoRight + "The system message bus is not available, so the login "
                                                       "manager cannot be asked", 0), 0u) << e.Description();
        }
    }
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
