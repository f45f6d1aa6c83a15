// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// brisko-cli web-test, which needs a browser engine: Qt's where the program has Qt
// (web_test_program_qt.cpp), none elsewhere (web_test_program_unavailable.cpp, the
// Windows build); CMake compiles exactly one.
#include "cli/cli_arguments.h"
#include "platform/services.h"

namespace brisko::cli {

// Runs the web test the request asks for; returns the exit status. program: argv[0].
int RunWebTestProgram(char* program, const SystemServices& system, const Request& request);

}  // namespace brisko::cli
