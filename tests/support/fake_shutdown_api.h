#pragma once
// A scripted ShutdownApi: every call is recorded with its arguments, and fails when told.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/shutdown_api.h"

namespace brisko::test {

class FakeShutdownApi final : public ShutdownApi {
public:
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

    // Script: the call named fails, leaving that last error ("GetCurrentProcess" gives 0).
    std::map<std::string, std::uint32_t> failures;
    std::uint32_t platformId = kVerPlatformWin32Nt;
    std::map<std::uint32_t, std::string> texts;  // FormatMessageA's texts by code

    // Record: "OpenProcessToken 40", "AdjustTokenPrivileges 4660 enable 1 19:7 2 16", ...
    std::vector<std::string> calls;
    std::set<ApiHandle> openTokens;
    std::uint32_t lastError = 0;

    int Count(const std::string& callPrefix) const;

private:
    bool Call(const std::string& name, const std::string& arguments = "");
};

}  // namespace brisko::test
