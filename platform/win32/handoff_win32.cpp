// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/handoff.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

namespace {

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The process that started this one; 0 when it has already ended or cannot be told.
DWORD StarterProcessId() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = ::GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    ::CloseHandle(snapshot);
    return parent;
}

}  // namespace

void WaitForStarterToEnd(std::chrono::milliseconds limit) {
    const DWORD parent = StarterProcessId();
    if (parent == 0) return;
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent);
    if (!process) return;  // gone already
    // Windows keeps the id of a parent that has ended and may give it to a new
    // process: only one that started before us is the one to wait for.
    const ULONGLONG parentStart = CreationTime(process);
    if (parentStart != 0 && parentStart <= CreationTime(::GetCurrentProcess()))
        ::WaitForSingleObject(process, static_cast<DWORD>(limit.count()));
    ::CloseHandle(process);
}

Status StartDetached(const std::string& program) {
    std::string native = program;
    for (char& c : native)
        if (c == '/') c = '\\';
    // The program's own name is its whole command line, quoted for its spaces.
    const std::string quoted = "\"" + native + "\"";
    std::wstring line = Wide(quoted);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(Wide(native).c_str(), line.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
        return LastWin32Failure();
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Status::Ok();
}

}  // namespace brisko
