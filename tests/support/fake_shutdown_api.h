// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted ShutdownApi: every call is recorded and fails when told. The arguments
// the system itself checks are left to the real back ends' tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/shutdown_api.h"

namespace brisko::test {

class FakeShutdownApi final : public ShutdownApi {
public:
    static constexpr ApiHandle kToken = 0x1234;

    bool LookupPrivilegeValueA(const char*, const std::string&, Luid*) override {
        return Call("LookupPrivilegeValueA");
    }
    ApiHandle GetCurrentProcess() override { return Call("GetCurrentProcess") ? ~ApiHandle{0} : 0; }
    bool OpenProcessToken(ApiHandle, std::uint32_t access, ApiHandle* token) override {
        *token = kToken;
        return Call("OpenProcessToken", std::to_string(access));
    }
    bool AdjustTokenPrivileges(ApiHandle token, bool, const TokenPrivileges*, std::uint32_t, TokenPrivileges*,
                               std::uint32_t*) override {
        return Call("AdjustTokenPrivileges", std::to_string(token));
    }
    bool CloseHandle(ApiHandle handle) override {
        calls.push_back("CloseHandle " + std::to_string(handle));
        // Clears the last error, so a caller that reads it only after closing reads nothing.
        lastError = 0;
        return true;
    }
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override {
        return Call("ExitWindowsEx", std::to_string(flags) + " " + std::to_string(reason));
    }
    bool GetVersionExA(OsVersionInfo* info) override {
        info->platformId = platformId;
        return Call("GetVersionExA");
    }
    std::uint32_t FormatMessageA(std::uint32_t flags, const void*, std::uint32_t messageId, std::uint32_t,
                                char* buffer, std::uint32_t size, void*) override {
        calls.push_back("FormatMessageA " + std::to_string(flags) + " " + std::to_string(messageId) + " " +
                        std::to_string(size));
        const auto found = texts.find(messageId);
        // Like the system: no text, or one that leaves no room for the ending zero, stores nothing.
        if (found == texts.end() || found->second.size() + 1 > size) return 0;
        std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
        return static_cast<std::uint32_t>(found->second.size());
    }
    std::uint32_t GetLastError() override { return lastError; }

    long Count(const std::string& prefix) const {
        return std::ranges::count_if(calls, [&](const std::string& c) { return c.starts_with(prefix); });
    }

    // Script: the call named fails, leaving that last error ("GetCurrentProcess" gives 0).
    std::map<std::string, std::uint32_t> failures;
    std::uint32_t platformId = kVerPlatformWin32Nt;
    std::map<std::uint32_t, std::string> texts;  // FormatMessageA's texts by code
    std::vector<std::string> calls;  // "OpenProcessToken 40", "ExitWindowsEx 2 4294967295", ...
    std::uint32_t lastError = 0;

private:
    bool Call(const std::string& name, const std::string& arguments = "") {
        calls.push_back(arguments.empty() ? name : name + " " + arguments);
        const auto failure = failures.find(name);
        if (failure == failures.end()) return true;
        lastError = failure->second;
        return false;
    }
};

}  // namespace brisko::test
