// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/paths_win32.h"

#include <windows.h>

namespace brisko {

// GetModuleFileNameA, without a trailing backslash.
std::string RunningProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try a larger buffer
    }
    const auto slash = path.find_last_of("\\/");
    // A program in "C:\" gives "C:", which the program's folder + "\name" completes.
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string PathMapperWin32::ProgramFolder() const { return RunningProgramFolder(); }

}  // namespace brisko
