#include "tests/support/fake_shutdown_api.h"

#include <algorithm>
#include <cstring>

namespace brisko::test {

bool FakeShutdownApi::Result(const Outcome& outcome) {
    if (!outcome.ok) lastError = outcome.error;
    return outcome.ok;
}

bool FakeShutdownApi::LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* out) {
    calls.push_back("LookupPrivilegeValueA");
    lookedUpName = name;
    lookedUpLocal = systemName == nullptr;
    if (!lookup.ok) return Result(lookup);
    *out = luid;
    return true;
}

ApiHandle FakeShutdownApi::GetCurrentProcess() {
    calls.push_back("GetCurrentProcess");
    if (processFails) {
        lastError = processError;
        return 0;
    }
    return kProcess;
}

bool FakeShutdownApi::OpenProcessToken(ApiHandle process, std::uint32_t access, ApiHandle* token) {
    calls.push_back("OpenProcessToken");
    desiredAccess = access;
    if (process != kProcess) {
        lastError = kWinErrorInvalidHandle;
        return false;
    }
    if (!openToken.ok) return Result(openToken);
    *token = kToken;
    openTokens.insert(kToken);
    return true;
}

bool FakeShutdownApi::AdjustTokenPrivileges(ApiHandle token, bool disable, const TokenPrivileges* newState,
                                            std::uint32_t bufferLength, TokenPrivileges* previousState,
                                            std::uint32_t* returnLength) {
    calls.push_back("AdjustTokenPrivileges");
    adjustedToken = token;
    disableAll = disable;
    if (newState) request = *newState;
    requestLength = bufferLength;
    if (!adjust.ok) return Result(adjust);
    if (previousState) *previousState = TokenPrivileges{};
    if (returnLength) *returnLength = sizeof(TokenPrivileges);
    return true;
}

bool FakeShutdownApi::CloseHandle(ApiHandle handle) {
    calls.push_back("CloseHandle " + std::to_string(handle));
    if (openTokens.erase(handle) == 0) {
        lastError = kWinErrorInvalidHandle;
        return false;
    }
    return true;
}

bool FakeShutdownApi::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    calls.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reason));
    return Result(exitWindows);
}

bool FakeShutdownApi::GetVersionExA(OsVersionInfo* info) {
    calls.push_back("GetVersionExA");
    if (info->osVersionInfoSize != sizeof(OsVersionInfo)) {
        lastError = kWinErrorInsufficientBuffer;
        return false;
    }
    if (!version.ok) return Result(version);
    info->platformId = platformId;
    return true;
}

std::uint32_t FakeShutdownApi::FormatMessageA(std::uint32_t flags, const void*, std::uint32_t messageId,
                                             std::uint32_t, char* buffer, std::uint32_t size, void*) {
    calls.push_back("FormatMessageA");
    formatFlags = flags;
    formatSize = size;
    const auto found = texts.find(messageId);
    // Like the system: no text, or one that leaves no room for the ending zero, stores nothing.
    if (found == texts.end() || found->second.size() + 1 > size) return 0;
    std::memcpy(buffer, found->second.data(), found->second.size());
    buffer[found->second.size()] = '\0';
    return static_cast<std::uint32_t>(found->second.size());
}

int FakeShutdownApi::Count(const std::string& callName) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c.compare(0, callName.size(), callName) == 0;
    }));
}

}  // namespace brisko::test
