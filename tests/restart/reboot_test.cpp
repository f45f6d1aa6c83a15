#include "restart/reboot.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/fake_shutdown_api.h"

namespace brisko {
namespace {

using test::FakeShutdownApi;

constexpr const char* kProgram = "/opt/brisko/bin/brisko";
constexpr const char* kSource = "brisko.mShutDown";

AppError CatchError(reboot& service, std::int32_t flags) {
    try {
        service.ShutdownSystem(flags);
    } catch (const AppError& e) {
        return e;
    }
    ADD_FAILURE() << "ShutdownSystem(" << flags << ") did not throw";
    return AppError(0, "", "");
}

TEST(ShutdownSystem, FlagsOutsideZeroToThirtyOneAreRefusedBeforeAnyCall) {
    for (std::int32_t flags : {-1, 32}) {
        FakeShutdownApi api;
        reboot service(api, kProgram);
        const AppError e = CatchError(service, flags);
        EXPECT_EQ(e.Number(), 0x8004062F);
        EXPECT_EQ(e.Description(), "Invalid parameter to ShutdownSystem: " + std::to_string(flags));
        EXPECT_EQ(e.Source(), kSource);
        EXPECT_TRUE(api.calls.empty());
    }
}

TEST(ShutdownSystem, EnablesThePrivilegeThenAsksTheSystem) {
    for (std::int32_t flags : {0, 2, 31}) {
        FakeShutdownApi api;
        reboot service(api, kProgram);
        EXPECT_TRUE(service.ShutdownSystem(flags));
        const std::vector<std::string> expected = {
            "GetVersionExA",         "LookupPrivilegeValueA", "GetCurrentProcess", "OpenProcessToken",
            "AdjustTokenPrivileges", "CloseHandle 4660",      "ExitWindowsEx " + std::to_string(flags) + " 4294967295"};
        EXPECT_EQ(api.calls, expected);
        EXPECT_EQ(api.lookedUpName, "SeShutdownPrivilege");
        EXPECT_TRUE(api.lookedUpLocal);
        EXPECT_EQ(api.desiredAccess, 40u);
        EXPECT_EQ(api.adjustedToken, FakeShutdownApi::kToken);
        EXPECT_FALSE(api.disableAll);
        EXPECT_EQ(api.requestLength, 16u);
        EXPECT_EQ(api.request.privilegeCount, 1u);
        EXPECT_EQ(api.request.privileges[0].luid.lowPart, 0x13u);
        EXPECT_EQ(api.request.privileges[0].luid.highPart, 7);
        EXPECT_EQ(api.request.privileges[0].attributes, 2u);
        EXPECT_TRUE(api.openTokens.empty());
    }
}

struct FailingStep {
    const char* name;
    void (*breakIt)(FakeShutdownApi&);
    long number;
    const char* fixedText;
    bool exitCalled;
};

const std::string kNoRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";

TEST(ShutdownSystem, EachFailingStepRaisesItsErrorWithTheSystemText) {
    const FailingStep steps[] = {
        {"lookup", [](FakeShutdownApi& a) { a.lookup = {false, 1313}; }, 0x8004062C,
         "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. [", false},
        {"process", [](FakeShutdownApi& a) { a.processFails = true;
             a.processError = 1313; }, 0x8004062D,
         "Can't enable shutdown: Can't determine the current process. [", false},
        {"open token", [](FakeShutdownApi& a) { a.openToken = {false, 1313}; }, 0x8004062E, kNoRight.c_str(),
         false},
        {"adjust", [](FakeShutdownApi& a) { a.adjust = {false, 1313}; }, 0x8004062E, kNoRight.c_str(), false},
        {"exit", [](FakeShutdownApi& a) { a.exitWindows = {false, 1313}; }, 0x8004062B,
         "ShutdownSystem failed: ", true},
    };
    const std::string text = "A specified privilege does not exist.\r\n";
    for (const FailingStep& step : steps) {
        SCOPED_TRACE(step.name);
        FakeShutdownApi api;
        api.texts[1313] = text;
        step.breakIt(api);
        reboot service(api, kProgram);
        const AppError e = CatchError(service, 2);
        EXPECT_EQ(e.Number(), step.number);
        const std::string closing = step.number == 0x8004062B ? "" : "]";
        EXPECT_EQ(e.Description(), step.fixedText + text + closing);
        EXPECT_EQ(e.Source(), kSource);
        EXPECT_EQ(api.Count("ExitWindowsEx"), step.exitCalled ? 1 : 0);
        // Whatever was opened is closed again, and nothing else is.
        EXPECT_TRUE(api.openTokens.empty());
        EXPECT_EQ(api.Count("CloseHandle"), api.Count("AdjustTokenPrivileges"));
        EXPECT_EQ(api.formatFlags, 0x1200u);
        EXPECT_EQ(api.formatSize, 255u);
    }
}

TEST(ShutdownSystem, TokenIsClosedAfterTheFailedAdjustmentIsRead) {
    FakeShutdownApi api;
    api.adjust = {false, 1300};
    reboot service(api, kProgram);
    CatchError(service, 2);
    const auto adjusted = std::find(api.calls.begin(), api.calls.end(), "AdjustTokenPrivileges");
    ASSERT_NE(adjusted, api.calls.end());
    EXPECT_EQ(*(adjusted + 1), "CloseHandle 4660");
}

TEST(ShutdownSystem, MessageTextsThatAreMissingOrTooLongGiveEmptyBrackets) {
    struct Case {
        const char* name;
        std::size_t length;  // 0: the system has no text
        bool shown;
    };
    for (const Case& c : {Case{"none", 0, false}, Case{"fits", 254, true}, Case{"too long", 300, false}}) {
        SCOPED_TRACE(c.name);
        FakeShutdownApi api;
        if (c.length > 0) api.texts[5] = std::string(c.length, 'x');
        api.openToken = {false, 5};
        reboot service(api, kProgram);
        const AppError e = CatchError(service, 2);
        EXPECT_EQ(e.Description(), kNoRight + (c.shown ? std::string(c.length, 'x') : "") + "]");
    }
}

TEST(ShutdownSystem, OutsideTheNtFamilyNoPrivilegeIsTouched) {
    FakeShutdownApi api;
    api.platformId = 1;
    reboot service(api, kProgram);
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.calls, (std::vector<std::string>{"GetVersionExA", "ExitWindowsEx 2 4294967295"}));
}

TEST(ShutdownSystem, PlatformIsAskedUntilOneAskSucceedsThenRemembered) {
    FakeShutdownApi api;
    api.version = {false, 31};
    reboot service(api, kProgram);
    // A failed ask counts as "not NT": no privilege work that time.
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.Count("LookupPrivilegeValueA"), 0);

    api.version = {true, 0};
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.Count("GetVersionExA"), 2);
    EXPECT_EQ(api.Count("LookupPrivilegeValueA"), 1);

    api.version = {false, 31};
    EXPECT_TRUE(service.ShutdownSystem(2));
    EXPECT_EQ(api.Count("GetVersionExA"), 2);
    // The privilege is enabled again on every call.
    EXPECT_EQ(api.Count("AdjustTokenPrivileges"), 2);
}

TEST(ShutdownErrorSource, IsTheProgramNameWithoutExtension) {
    EXPECT_EQ(ShutdownErrorSource("/opt/brisko/bin/brisko"), "brisko.mShutDown");
    EXPECT_EQ(ShutdownErrorSource("C:\\Program Files\\Brisko\\Brisko.exe"), "Brisko.mShutDown");
    EXPECT_EQ(ShutdownErrorSource("brisko.v3.exe"), "brisko.v3.mShutDown");
    EXPECT_EQ(ShutdownErrorSource("/opt/my.folder/brisko"), "brisko.mShutDown");
}

}  // namespace
}  // namespace brisko
