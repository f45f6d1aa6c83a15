#include "tests/support/fake_shutdown_api.h"

#include <algorithm>
#include <cstring>

namespace brisko::test {

bool FakeShutdownApi::Call(const std::string& name, const std::string& arguments) {
    calls.push_back(arguments.empty() ? name : name + " " + arguments);
    const auto failure = failures.find(name);
    if (failure == failures.end()) return true;
    lastError = failure->second;
    return false;
}

bool FakeShutdownApi::LookupPrivilegeValueA(const char* systemName, const std::string& name, Luid* luid) {
    if (!Call("LookupPrivilegeValueA", (systemName ? "remote " : "local ") + name)) return false;
    *luid = Luid{0x13, 0x7};
    return true;
}

ApiHandle FakeShutdownApi::GetCurrentProcess() { return Call("GetCurrentProcess") ? kProcess : 0; }

bool FakeShutdownApi::OpenProcessToken(ApiHandle process, std::uint32_t access, ApiHandle* token) {
    if (!Call("OpenProcessToken", std::to_string(access))) return false;
    if (process != kProcess) {
        lastError = kWinErrorInvalidHandle;
        return false;
    }
    openTokens.insert(*token = kToken);
    return true;
}

bool FakeShutdownApi::AdjustTokenPrivileges(ApiHandle token, bool disable, const TokenPrivileges* s,
                                            std::uint32_t bufferLength, TokenPrivileges* previousState,
                                            std::uint32_t* returnLength) {
    std::string request = std::to_string(token) + (disable ? " disable" : " enable");
    if (s) {
        const LuidAndAttributes& p = s->privileges[0];
        request += " " + std::to_string(s->privilegeCount) + " " + std::to_string(p.luid.lowPart) + ":" +
                   std::to_string(p.luid.highPart) + " " + std::to_string(p.attributes);
    }
    if (!Call("AdjustTokenPrivileges", request + " " + std::to_string(bufferLength))) return false;
    if (previousState) *previousState = TokenPrivileges{};
    if (returnLength) *returnLength = sizeof(TokenPrivileges);
    return true;
}

bool FakeShutdownApi::CloseHandle(ApiHandle handle) {
    calls.push_back("CloseHandle " + std::to_string(handle));
    // Clears the last error, so a caller that reads it only after closing reads nothing.
    lastError = openTokens.erase(handle) == 1 ? 0 : kWinErrorInvalidHandle;
    return lastError == 0;
}

bool FakeShutdownApi::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    return Call("ExitWindowsEx", std::to_string(flags) + " " + std::to_string(reason));
}

bool FakeShutdownApi::GetVersionExA(OsVersionInfo* info) {
    if (!Call("GetVersionExA")) return false;
    if (info->osVersionInfoSize != sizeof(OsVersionInfo)) {
        lastError = kWinErrorInsufficientBuffer;
        return false;
    }
    info->platformId = platformId;
    return true;
}

std::uint32_t FakeShutdownApi::FormatMessageA(std::uint32_t flags, const void*, std::uint32_t messageId,
                                             std::uint32_t, char* buffer, std::uint32_t size, void*) {
    calls.push_back("FormatMessageA " + std::to_string(flags) + " " + std::to_string(messageId) + " " +
                    std::to_string(size));
    const auto found = texts.find(messageId);
    // Like the system: no text, or one that leaves no room for the ending zero, stores nothing.
    if (found == texts.end() || found->second.size() + 1 > size) return 0;
    std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
    return static_cast<std::uint32_t>(found->second.size());
}

int FakeShutdownApi::Count(const std::string& callPrefix) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c.compare(0, callPrefix.size(), callPrefix) == 0;
    }));
}

}  // namespace brisko::test
