// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A console program's start: its arguments in UTF-8 and standard streams that show
// UTF-8 as what it is. Back ends: posix/program_arguments_posix.cpp (argv as given, the
// streams as they are), win32/program_arguments_win32.cpp (GetCommandLineW, and
// WriteConsoleW for a console).
// Free functions: main calls them first thing, once.
#include <string>
#include <vector>

namespace brisko {

// The arguments after the program's name. Windows hands main them in the ANSI code
// page, which loses every character outside it; its wide command line keeps them.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// From here on std::cout and std::cerr take UTF-8 whatever they lead to: a Windows
// console is written in UTF-16, a file or a pipe gets the bytes.
void PrepareStandardStreams();

}  // namespace brisko
