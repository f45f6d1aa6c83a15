// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>

#include "platform/elevation.h"

struct _SHELLEXECUTEINFOW;

namespace brisko {

// The process token's TokenElevation, and the program started again through
// ShellExecuteExW with the verb "runas", whose consent prompt the shell shows. The
// calls are a seam: tests stand in for the shell and never raise a real prompt.
class ElevationWin32 final : public Elevation {
public:
    struct Calls {
        std::function<bool()> tokenIsElevated;
        // ShellExecuteExW: false with the last error set when it fails.
        std::function<bool(_SHELLEXECUTEINFOW*)> shellExecute;
        // Waits for the started process and gives its exit code.
        std::function<unsigned long(void* process)> waitForExit;
    };
    static Calls SystemCalls();

    ElevationWin32() : ElevationWin32(SystemCalls()) {}
    explicit ElevationWin32(Calls calls) : m_calls(std::move(calls)) {}
    bool IsElevated() override;
    int RunElevated(const std::vector<std::string>& arguments, Status* error) override;

private:
    Calls m_calls;
};

}  // namespace brisko
