// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What happens to an error that no handler catches: its description in a message
// box titled "Brisko", then the program ends.
#include <functional>

#include "platform/message_box.h"

namespace brisko {

// Runs handler; an AppError or other exception escaping it is shown and ends the program.
void RunOrEnd(MessageBoxService& messages, const std::function<void()>& handler);

// Runs handler; an exception escaping it is shown and the program keeps running.
void RunOrReport(MessageBoxService& messages, const std::function<void()>& handler);

// Ends the program: the event loop stops and no further window event runs.
// Callers return right after it.
void EndProgram(int exitCode = 0);

// Tests replace the ending with a recorder; pass nullptr to restore it.
void SetEndProgramHook(std::function<void(int)> hook);

}  // namespace brisko
