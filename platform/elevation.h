// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the program holds administrator rights, and starting the same program
// again with them. The boost's imports write the machine's settings, which Windows
// leaves to administrators; the emulated machine on Linux needs no rights at all.
// Back ends: ElevationPosix (posix/, always enough rights), ElevationWin32 (win32/,
// the token's elevation and ShellExecuteExW "runas").
// SystemServices (platform/services.h) owns it; brisko-cli's boost commands ask it.
#include <string>
#include <vector>

#include "platform/error.h"

namespace brisko {

class Elevation {
public:
    virtual ~Elevation() = default;
    // True when what the boost writes can be written by this process.
    virtual bool IsElevated() = 0;
    // Starts this program with arguments, with administrator rights (the system asks
    // the user first), waits for it to end and gives its exit status. A start that was
    // refused or failed: -1 with the reason in *error.
    virtual int RunElevated(const std::vector<std::string>& arguments, Status* error) = 0;
};

}  // namespace brisko
