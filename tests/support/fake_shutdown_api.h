#pragma once
// A scripted ShutdownApi: each call succeeds or fails as set, and is recorded.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/shutdown_api.h"

namespace brisko::test {

class FakeShutdownApi final : public ShutdownApi {
public:
    struct Outcome {
        bool ok = true;
        std::uint32_t error = 0;  // last error left on failure
    };
    static constexpr ApiHandle kProcess = ~ApiHandle{0};
    static constexpr ApiHandle kToken = 0x1234;

    bool LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) override;
    ApiHandle GetCurrentProcess() override;
    bool OpenProcessToken(ApiHandle process, std::uint32_t desiredAccess, ApiHandle* token) override;
    bool AdjustTokenPrivileges(ApiHandle token, bool disableAllPrivileges, const TokenPrivileges* newState,
                               std::uint32_t bufferLength, TokenPrivileges* previousState,
                               std::uint32_t* returnLength) override;
    bool CloseHandle(ApiHandle handle) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    bool GetVersionExA(OsVersionInfo* info) override;
    std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                                std::uint32_t languageId, char* buffer, std::uint32_t size,
                                void* arguments) override;
    std::uint32_t GetLastError() override { return lastError; }

    // Script.
    Outcome lookup, openToken, adjust, exitWindows, version;
    bool processFails = false;
    std::uint32_t processError = 0;
    std::uint32_t platformId = kVerPlatformWin32Nt;
    Luid luid{0x13, 0x7};
    std::map<std::uint32_t, std::string> texts;  // FormatMessageA's texts by code

    // Record.
    std::vector<std::string> calls;  // call names, "ExitWindowsEx 2 4294967295", "CloseHandle 4660"
    std::set<ApiHandle> openTokens;
    std::string lookedUpName;
    bool lookedUpLocal = false;
    TokenPrivileges request{};
    std::uint32_t requestLength = 0;
    bool disableAll = true;
    ApiHandle adjustedToken = 0;
    std::uint32_t desiredAccess = 0;
    std::uint32_t formatFlags = 0;
    std::uint32_t formatSize = 0;
    std::uint32_t lastError = 0;

    int Count(const std::string& callName) const;

private:
    bool Result(const Outcome& outcome);
};

}  // namespace brisko::test
