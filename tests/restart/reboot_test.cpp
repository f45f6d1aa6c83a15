#include "restart/reboot.h"

#include <gtest/gtest.h>

#include "tests/support/fake_shutdown_api.h"

namespace brisko {
namespace {

using test::FakeShutdownApi;

const std::string kNoRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";

// The error ShutdownSystem raises; number 0 when it raised none.
AppError ErrorOf(reboot& service, std::int32_t flags) {
    try {
        service.ShutdownSystem(flags);
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, "", "");
}

TEST(ShutdownSystem, FlagsOutsideZeroToThirtyOneAreRefusedBeforeAnyCall) {
    for (std::int32_t flags : {-1, 32}) {
        FakeShutdownApi api;
        reboot service(api, "/opt/my.folder/brisko");
        const AppError e = ErrorOf(service, flags);
        EXPECT_EQ(e.Number(), 0x8004062F);
        EXPECT_EQ(e.Description(), "Invalid parameter to ShutdownSystem: " + std::to_string(flags));
        EXPECT_EQ(e.Source(), "brisko.mShutDown");
        EXPECT_TRUE(api.calls.empty());
    }
}

TEST(ShutdownSystem, EnablesThePrivilegeThenAsksTheSystem) {
    for (std::int32_t flags : {0, 31}) {
        FakeShutdownApi api;
        reboot service(api, "brisko");
        EXPECT_TRUE(service.ShutdownSystem(flags));
        EXPECT_EQ(api.calls, (std::vector<std::string>{
                                 "GetVersionExA", "LookupPrivilegeValueA local SeShutdownPrivilege",
                                 "GetCurrentProcess", "OpenProcessToken 40",
                                 "AdjustTokenPrivileges 4660 enable 1 19:7 2 16", "CloseHandle 4660",
                                 "ExitWindowsEx " + std::to_string(flags) + " 4294967295"}));
    }
}

TEST(ShutdownSystem, EachFailingStepRaisesItsErrorWithTheSystemText) {
    const struct {
        const char* call;
        std::uint32_t number;  // long is 32 bits on Windows: compared as the 32-bit word
        std::string fixedText;
    } steps[] = {
        {"LookupPrivilegeValueA", 0x8004062C,
         "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. ["},
        {"GetCurrentProcess", 0x8004062D, "Can't enable shutdown: Can't determine the current process. ["},
        {"OpenProcessToken", 0x8004062E, kNoRight},
        {"AdjustTokenPrivileges", 0x8004062E, kNoRight},
        {"ExitWindowsEx", 0x8004062B, "ShutdownSystem failed: "},
    };
    const std::string text = "A specified privilege does not exist.\r\n";
    for (const auto& step : steps) {
        SCOPED_TRACE(step.call);
        FakeShutdownApi api;
        api.texts[1313] = text;
        api.failures[step.call] = 1313;
        reboot service(api, "C:\\Program Files\\Brisko\\Brisko.v3.exe");
        const AppError e = ErrorOf(service, 2);
        EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), step.number);
        EXPECT_EQ(e.Description(), step.fixedText + text + (step.number == 0x8004062Bu ? "" : "]"));
        EXPECT_EQ(e.Source(), "Brisko.v3.mShutDown");
        EXPECT_EQ(api.Count("ExitWindowsEx"), step.number == 0x8004062Bu ? 1 : 0);
        EXPECT_EQ(api.Count("FormatMessageA 4608 1313 255"), 1);
        // Whatever was opened is closed again, and nothing else is.
        EXPECT_TRUE(api.openTokens.empty());
        EXPECT_EQ(api.Count("CloseHandle"), api.Count("AdjustTokenPrivileges"));
    }
}

TEST(ShutdownSystem, MessageTextsThatAreMissingOrTooLongGiveEmptyBrackets) {
    for (std::size_t length : {0, 254, 300}) {
        FakeShutdownApi api;
        if (length > 0) api.texts[5] = std::string(length, 'x');
        api.failures["OpenProcessToken"] = 5;
        reboot service(api, "brisko");
        EXPECT_EQ(ErrorOf(service, 2).Description(), kNoRight + std::string(length == 254 ? 254 : 0, 'x') + "]");
    }
}

TEST(ShutdownSystem, ThePlatformIsAskedUntilOneAskSucceedsThenRemembered) {
    FakeShutdownApi api;
    api.failures["GetVersionExA"] = 31;
    reboot service(api, "brisko");
    // A failed ask counts as "not NT": no privilege work that time.
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.calls, (std::vector<std::string>{"GetVersionExA", "ExitWindowsEx 2 4294967295"}));

    api.failures.clear();
    EXPECT_TRUE(service.ShutdownSystem(2));
    api.failures["GetVersionExA"] = 31;
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.Count("GetVersionExA"), 2);
    EXPECT_EQ(api.Count("AdjustTokenPrivileges"), 2);  // enabled again on every call

    FakeShutdownApi win9x;
    win9x.platformId = 1;
    reboot old(win9x, "brisko");
    EXPECT_TRUE(old.ShutdownSystem(2));
    EXPECT_EQ(win9x.Count("LookupPrivilegeValueA"), 0);
}

}  // namespace
}  // namespace brisko
