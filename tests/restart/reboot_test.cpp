// SPDX-License-Identifier: GPL-3.0-or-later
#include "restart/reboot.h"

#include <gtest/gtest.h>

#include "tests/support/fake_shutdown_api.h"

namespace brisko {
namespace {

using test::FakeShutdownApi;

const std::string kNoRight = "Can't enable shutdown: You do not have the privileges to shutdown this system. [";

// The error ShutdownSystem raises; number 0 when it raised none (and then it must have said yes).
AppError ErrorOf(reboot& service, std::int32_t flags) {
    try {
        EXPECT_TRUE(service.ShutdownSystem(flags));
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, "", "");
}

// Flags outside 0 to 31 are refused before any call.
TEST(ShutdownSystem, EnablesThePrivilegeThenAsksTheSystemForValidFlagsOnly) {
    for (std::int32_t flags : {-1, 0, 31, 32}) {
        SCOPED_TRACE(flags);
        FakeShutdownApi api;
        reboot service(api, "/opt/my.folder/brisko");
        const AppError e = ErrorOf(service, flags);
        if (flags < 0 || flags > 31) {
            EXPECT_EQ(e.Number(), 0x8004062F);
            EXPECT_EQ(e.Description(), "Invalid parameter to ShutdownSystem: " + std::to_string(flags));
            EXPECT_EQ(e.Source(), "brisko.mShutDown");
            EXPECT_TRUE(api.calls.empty());
            continue;
        }
        EXPECT_EQ(e.Number(), 0);
        EXPECT_EQ(api.calls, (std::vector<std::string>{
                                 "GetVersionExA", "LookupPrivilegeValueA", "GetCurrentProcess",
                                 "OpenProcessToken 40", "AdjustTokenPrivileges 4660", "CloseHandle 4660",
                                 "ExitWindowsEx " + std::to_string(flags) + " 4294967295"}));
    }
}

// A text too long for the buffer leaves the brackets empty.
TEST(ShutdownSystem, EachFailingStepRaisesItsErrorWithTheSystemText) {
    const std::string text = "A specified privilege does not exist.\r\n";
    const std::string cant = "Can't enable shutdown: Can't ";
    const struct {
        const char* call;
        std::uint32_t number;  // long is 32 bits on Windows: compared as the 32-bit word
        std::string fixedText, systemText;
    } steps[] = {
        {"LookupPrivilegeValueA", 0x8004062C, cant + "find the SE_SHUTDOWN_NAME privilege value. [", text},
        {"GetCurrentProcess", 0x8004062D, cant + "determine the current process. [", text},
        {"OpenProcessToken", 0x8004062E, kNoRight, text},
        {"OpenProcessToken", 0x8004062E, kNoRight, std::string(254, 'x')},
        {"OpenProcessToken", 0x8004062E, kNoRight, std::string(255, 'x')},
        {"AdjustTokenPrivileges", 0x8004062E, kNoRight, text},
        {"ExitWindowsEx", 0x8004062B, "ShutdownSystem failed: ", text},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.call) + " " + std::to_string(step.systemText.size()));
        FakeShutdownApi api;
        api.texts[1313] = step.systemText;
        api.failures[step.call] = 1313;
        reboot service(api, "C:\\Program Files\\Brisko\\Brisko.v3.exe");
        const AppError e = ErrorOf(service, 2);
        const bool exited = step.number == 0x8004062Bu;
        EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), step.number);
        EXPECT_EQ(e.Description(), step.fixedText + (step.systemText.size() < 255 ? step.systemText : "") +
                                       (exited ? "" : "]"));
        EXPECT_EQ(e.Source(), "Brisko.v3.mShutDown");
        EXPECT_EQ(api.Count("ExitWindowsEx"), exited ? 1 : 0);
        EXPECT_EQ(api.Count("FormatMessageA 4608 1313 255"), 1);
        // The token is closed whenever it was opened.
        EXPECT_EQ(api.Count("CloseHandle"), api.Count("AdjustTokenPrivileges"));
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
