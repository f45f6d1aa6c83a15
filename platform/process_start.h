// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting a program from a Windows command line, without waiting.
// Back ends: ProcessStarterPosix (posix/: Windows-style splitting, posix_spawn,
// search order program folder, current folder, PATH; never a shell), ProcessStarterWin32
// (win32/: CreateProcessA with the line as written).
// SystemServices (platform/services.h) owns it; the boost and the windows borrow it.
#include <string>

#include "platform/error.h"

namespace brisko {

enum class WindowState {
    NormalActive,     // SW_SHOWNORMAL: shown normally and activated
    MinimizedActive,  // SW_SHOWMINIMIZED: minimized, with the focus
};

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // workingFolder (native path): the folder the program starts in; empty keeps ours.
    // Relative names the program is given resolve there, not where we were started.
    virtual Status Start(const std::string& commandLine, WindowState state,
                         const std::string& workingFolder = {}) = 0;
};

}  // namespace brisko
