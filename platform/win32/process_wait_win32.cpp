#include "platform/win32/process_wait_win32.h"

#include <windows.h>
#include <tlhelp32.h>

namespace brisko {

namespace {

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

std::uint32_t ParentProcessIdWin32() {
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
    if (parent == 0) return 0;
    // Windows keeps the id of a parent that has ended and may give it to a new
    // process: a parent must have started before us.
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent);
    if (!process) return 0;
    const ULONGLONG parentStart = CreationTime(process);
    ::CloseHandle(process);
    const ULONGLONG ownStart = CreationTime(::GetCurrentProcess());
    return parentStart != 0 && parentStart <= ownStart ? parent : 0;
}

ProcessWaitResult WaitForProcessEndWin32(std::uint32_t id, std::chrono::milliseconds limit) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process) {
        // No such process (any more): nothing to wait for.
        return ::GetLastError() == ERROR_INVALID_PARAMETER ? ProcessWaitResult::Ended
                                                           : ProcessWaitResult::CannotWatch;
    }
    const DWORD waited = ::WaitForSingleObject(process, static_cast<DWORD>(limit.count()));
    ::CloseHandle(process);
    if (waited == WAIT_OBJECT_0) return ProcessWaitResult::Ended;
    return waited == WAIT_TIMEOUT ? ProcessWaitResult::TimedOut : ProcessWaitResult::CannotWatch;
}

}  // namespace brisko
