// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Handing the program over to a new instance of itself, as the reopener does: wait
// for the instance that started us to end, then start the new one on its own.
// Back ends: posix/handoff_posix.cpp (pidfd_open, posix_spawn), win32/handoff_win32.cpp
// (OpenProcess + WaitForSingleObject, CreateProcessA).
// Free functions: no one owns them; the reopener program asks them.
#include <chrono>
#include <string>
#include <vector>

#include "platform/error.h"

namespace brisko {

// Waits until the process that started this one has ended, or limit has passed.
// Returns at once when there is none to wait for.
void WaitForStarterToEnd(std::chrono::milliseconds limit);

// Starts program (a native path, no arguments) without waiting, in a session of its
// own: tied to no terminal or process group of ours.
Status StartDetached(const std::string& program);

#ifndef _WIN32
// Runs program (a native path) with args (args[0] its name) in this process's place:
// its output, exit status and Ctrl+C are the caller's own. Returns only when it could
// not be started.
Status ReplaceProcess(const std::string& program, const std::vector<std::string>& args);
#endif

}  // namespace brisko
