// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/elevation_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

namespace {

// One argument as CommandLineToArgvW splits it back: quoted when it holds a blank, a
// tab or a quote (or is empty), backslashes doubled only before a quote.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

}  // namespace

ElevationWin32::Calls ElevationWin32::SystemCalls() {
    Calls calls;
    calls.tokenIsElevated = [] {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        const bool known = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        ::CloseHandle(token);
        return known && elevation.TokenIsElevated != 0;
    };
    calls.shellExecute = [](SHELLEXECUTEINFOW* info) { return ::ShellExecuteExW(info) != FALSE; };
    calls.waitForExit = [](void* process) {
        ::WaitForSingleObject(process, INFINITE);
        DWORD code = 1;
        if (!::GetExitCodeProcess(process, &code)) code = 1;
        ::CloseHandle(process);
        return static_cast<unsigned long>(code);
    };
    return calls;
}

bool ElevationWin32::IsElevated() { return m_calls.tokenIsElevated(); }

int ElevationWin32::RunElevated(const std::vector<std::string>& arguments, Status* error) {
    std::string line;
    for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + Quoted(argument);
    const std::wstring program = ProgramPath();
    const std::wstring parameters = Wide(line);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The handle lets us wait; without NOASYNC the shell might return before the start.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!m_calls.shellExecute(&info)) {
        *error = LastWin32Failure();  // ERROR_CANCELLED when the user said no
        return -1;
    }
    if (info.hProcess == nullptr) {
        *error = Win32Failure(ERROR_INVALID_HANDLE);
        return -1;
    }
    *error = Status::Ok();
    return static_cast<int>(m_calls.waitForExit(info.hProcess));
}

}  // namespace brisko
