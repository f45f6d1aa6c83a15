// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/process_start.h"

namespace brisko {

// CreateProcessA with the command line exactly as written: Windows finds the program
// (its own folder, the current folder, the system folders, PATH) and the program
// splits its own arguments. Nothing waits for it; its handles are closed at once.
class ProcessStarterWin32 final : public ProcessStarter {
public:
    Status Start(const std::string& commandLine, WindowState state,
                 const std::string& workingFolder = {}) override;
};

}  // namespace brisko
