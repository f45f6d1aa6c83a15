// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the program again elevated, with the shell's part played by the test: no
// consent prompt is ever raised.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/elevation_win32.h"
#include "platform/win32/utf8_win32.h"

namespace brisko::test {
namespace {

struct ShellSeen {
    std::wstring verb, file, parameters;
    ULONG mask = 0;
    bool waited = false;
};

ElevationWin32::Calls Shell(ShellSeen& seen, DWORD failure, unsigned long exitCode) {
    ElevationWin32::Calls calls = ElevationWin32::SystemCalls();
    calls.shellExecute = [&seen, failure](SHELLEXECUTEINFOW* info) {
        seen.verb = info->lpVerb ? info->lpVerb : L"";
        seen.file = info->lpFile ? info->lpFile : L"";
        seen.parameters = info->lpParameters ? info->lpParameters : L"";
        seen.mask = info->fMask;
        if (failure != 0) {
            ::SetLastError(failure);
            return false;
        }
        info->hProcess = ::GetCurrentProcess();  // a handle that is none of ours to close
        return true;
    };
    calls.waitForExit = [&seen, exitCode](void*) {
        seen.waited = true;
        return exitCode;
    };
    return calls;
}

TEST(ElevationWin32Test, RunsThisProgramAsRunasWithItsArgumentsAndWaitsForItsStatus) {
    ShellSeen seen;
    ElevationWin32 elevation(Shell(seen, 0, 3));
    Status error;
    const int status = elevation.RunElevated({"boost", "--elevate", "C:\\Tools\\Бриско\\", "say \"hi\"", ""}, &error);
    EXPECT_TRUE(error.ok()) << error.text;
    EXPECT_EQ(status, 3);
    EXPECT_TRUE(seen.waited);
    EXPECT_EQ(seen.verb, L"runas");
    EXPECT_TRUE(seen.mask & SEE_MASK_NOCLOSEPROCESS);
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(seen.file, std::wstring(self, n));
    // The elevated program must read back exactly the arguments it was given.
    int count = 0;
    const std::wstring line = L"x.exe " + seen.parameters;
    wchar_t** split = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::string> back;
    for (int i = 1; i < count; ++i) back.push_back(Utf8(std::wstring(split[i])));
    ::LocalFree(split);
    EXPECT_EQ(back, (std::vector<std::string>{"boost", "--elevate", "C:\\Tools\\Бриско\\", "say \"hi\"", ""}));
}

TEST(ElevationWin32Test, ARefusedPromptIsAFailureWithTheSystemsWordsAndNothingWaitedFor) {
    ShellSeen seen;
    ElevationWin32 elevation(Shell(seen, ERROR_CANCELLED, 0));
    Status error;
    EXPECT_EQ(elevation.RunElevated({"restore"}, &error), -1);
    EXPECT_EQ(error.code, static_cast<long>(ERROR_CANCELLED));
    EXPECT_FALSE(error.text.empty());
    EXPECT_FALSE(seen.waited);
}

TEST(ElevationWin32Test, TheTokenSaysWhetherTheProcessIsElevated) {
    ElevationWin32::Calls calls = ElevationWin32::SystemCalls();
    calls.tokenIsElevated = [] { return false; };
    EXPECT_FALSE(ElevationWin32(calls).IsElevated());
    // Wine runs its programs elevated, as an administrator's console would.
    EXPECT_TRUE(ElevationWin32().IsElevated());
}

}  // namespace
}  // namespace brisko::test
