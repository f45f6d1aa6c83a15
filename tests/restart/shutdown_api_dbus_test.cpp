// The logind back end against a stand-in logind on a private bus (never the system bus).
#include "platform/qt/shutdown_api_dbus.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "restart/reboot.h"
#include "tests/support/qt/fake_logind.h"
#include "tests/support/qt/private_bus.h"

namespace brisko {
namespace {

using test::FakeLogind;
using test::PrivateBus;

const std::string kNoRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";

class DbusShutdown : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_bus.Address().isEmpty()) << m_bus.Error().toStdString(); }

    // ShutdownSystem through the back end; the description of the error, or "" when accepted.
    std::string Shutdown(const QString& address, std::int32_t flags) {
        ShutdownApiDbus api(address);
        reboot service(api, "/opt/brisko/brisko");
        try {
            EXPECT_TRUE(service.ShutdownSystem(flags));
            return {};
        } catch (const AppError& e) {
            m_number = e.Number();
            return e.Description();
        }
    }

    PrivateBus m_bus;
    long m_number = 0;
};

TEST_F(DbusShutdown, CanRebootDecidesWhetherTheRestartIsAsked) {
    struct Case {
        const char* answer;
        bool allowed;
    };
    for (const Case& c : {Case{"yes", true}, Case{"challenge", true}, Case{"no", false}, Case{"na", false}}) {
        SCOPED_TRACE(c.answer);
        FakeLogind logind(m_bus.Address());
        ASSERT_TRUE(logind.IsServing());
        logind.SetCanReboot(c.answer);
        const std::string error = Shutdown(m_bus.Address(), 2);
        if (c.allowed) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(logind.Calls(), QStringList({"CanReboot", "Reboot true"}));
        } else {
            EXPECT_EQ(m_number, kErrNoShutdownRight);
            EXPECT_EQ(error, kNoRight +
                                 "The login manager does not allow this user to restart the computer "
                                 "(CanReboot answered \"" + c.answer + "\").\r\n]");
            EXPECT_EQ(logind.Calls(), QStringList({"CanReboot"}));
        }
    }
}

TEST_F(DbusShutdown, FlagWordsMapToLogindRequests) {
    const QString session =
        "GetSessionByPID " + QString::number(QCoreApplication::applicationPid());
    struct Case {
        std::int32_t flags;
        QStringList requests;
    };
    const Case cases[] = {
        {0, {session, "Terminate"}},  {1, {"PowerOff true"}}, {2, {"Reboot true"}},
        {2 | 4 | 16, {"Reboot true"}}, {8, {"PowerOff true"}}, {2 | 8, {"PowerOff true"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        FakeLogind logind(m_bus.Address());
        ASSERT_TRUE(logind.IsServing());
        EXPECT_EQ(Shutdown(m_bus.Address(), c.flags), "");
        EXPECT_EQ(logind.Calls(), QStringList({"CanReboot"}) + c.requests);
    }
}

TEST_F(DbusShutdown, LogindErrorsCarryTheirOwnMessage) {
    {
        FakeLogind logind(m_bus.Address());
        logind.FailCall("Reboot", "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                        "Interactive authentication required.");
        EXPECT_EQ(Shutdown(m_bus.Address(), 2),
                  "ShutdownSystem failed: Interactive authentication required. "
                  "(org.freedesktop.DBus.Error.InteractiveAuthorizationRequired)\r\n");
        EXPECT_EQ(m_number, kErrShutdownFailed);
    }
    {
        // A message too long for the caller's buffer is shortened, not lost.
        FakeLogind logind(m_bus.Address());
        logind.FailCall("CanReboot", "org.example.Error.Long", QString(400, 'm'));
        const std::string error = Shutdown(m_bus.Address(), 2);
        EXPECT_EQ(m_number, kErrNoShutdownRight);
        EXPECT_EQ(error.rfind(kNoRight + "mmmm", 0), 0u) << error;
        EXPECT_EQ(error.substr(error.size() - 6), "...\r\n]");
        EXPECT_LE(error.size(), kNoRight.size() + 255);
    }
}

TEST_F(DbusShutdown, MissingLogindRefusesThePrivilegeWithTheBusMessage) {
    const std::string error = Shutdown(m_bus.Address(), 2);
    EXPECT_EQ(m_number, kErrNoShutdownRight);
    EXPECT_EQ(error.rfind(kNoRight, 0), 0u) << error;
    EXPECT_NE(error.find("org.freedesktop.login1"), std::string::npos) << error;
    EXPECT_NE(error.find("ServiceUnknown"), std::string::npos) << error;
    EXPECT_EQ(error.substr(error.size() - 3), "\r\n]");
}

TEST_F(DbusShutdown, NoBusAtAllGivesAClearTextEveryTime) {
    ShutdownApiDbus api("unix:path=/nonexistent/brisko-test-bus");
    reboot service(api, "brisko");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            service.ShutdownSystem(2);
            ADD_FAILURE() << "accepted without a bus";
        } catch (const AppError& e) {
            EXPECT_EQ(e.Number(), kErrNoShutdownRight);
            EXPECT_EQ(e.Description().rfind(
                          kNoRight + "The system message bus is not available, so the login manager cannot be asked",
                          0),
                      0u)
                << e.Description();
        }
    }
}

TEST_F(DbusShutdown, ExitWindowsNeedsTheEnabledRightLikeWindows) {
    FakeLogind logind(m_bus.Address());
    ShutdownApiDbus api(m_bus.Address());
    EXPECT_FALSE(api.ExitWindowsEx(kEwxReboot, 0xFFFFFFFFu));
    EXPECT_EQ(api.GetLastError(), kWinErrorPrivilegeNotHeld);
    char text[255];
    const std::uint32_t n = api.FormatMessageA(kFormatMessageFromSystem | kFormatMessageIgnoreInserts, nullptr,
                                               kWinErrorPrivilegeNotHeld, 0, text, sizeof text, nullptr);
    EXPECT_EQ(std::string(text, n), "A required privilege is not held by the client.\r\n");
    EXPECT_TRUE(logind.Calls().isEmpty());

    OsVersionInfo version;
    version.osVersionInfoSize = sizeof version;
    ASSERT_TRUE(api.GetVersionExA(&version));
    EXPECT_EQ(version.platformId, kVerPlatformWin32Nt);
}

}  // namespace
}  // namespace brisko
