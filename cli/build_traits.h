// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What this build of brisko-cli can do, and the platform's words for where it keeps
// things and how an interrupted program ends. One definition per platform
// (build_traits_linux.cpp, build_traits_windows.cpp), chosen by CMake.

namespace brisko::cli {

// Whether the boost's writes need administrator rights (Windows), so --elevate is offered.
extern const bool kNeedsElevation;

// Whether web-test can run here: the Windows build has no browser engine.
extern const bool kHasWebTest;

// Where the history is kept, as the user's own system writes it.
extern const char* const kHistoryLocationText;

// What history says when it holds nothing yet.
extern const char* const kEmptyHistoryHint;

// The exit status of a program ended by Ctrl+C: 128 + SIGINT for a POSIX shell,
// STATUS_CONTROL_C_EXIT on Windows.
extern const int kInterruptedExitStatus;

}  // namespace brisko::cli
