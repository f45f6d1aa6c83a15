// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/paths_win32.h"

#include <windows.h>

#include "platform/win32/utf8_win32.h"

namespace brisko {

// GetModuleFileNameW in UTF-8, without a trailing backslash.
std::string RunningProgramFolder() {
    std::wstring wide(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
        if (n == 0) return ".";
        if (n < wide.size()) {
            wide.resize(n);
            break;
        }
        wide.resize(wide.size() * 2);  // cut short: try a larger buffer
    }
    const std::string path = Utf8(wide);
    const auto slash = path.find_last_of("\\/");
    // A program in "C:\" gives "C:", which the program's folder + "\name" completes.
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string PathMapperWin32::ProgramFolder() const { return RunningProgramFolder(); }

}  // namespace brisko
