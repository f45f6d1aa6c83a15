// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether standard output or error is a terminal, and how wide it is.
// Back ends: posix/ (isatty, TIOCGWINSZ), win32/ (the console API).
// Free functions: no one owns them; the terminal front end asks them.

namespace brisko {

enum class StandardStream { Output, Error };

bool IsTerminal(StandardStream stream);

// Columns of the terminal behind stream; 0 when it is none or the width is unknown.
int TerminalColumns(StandardStream stream);

}  // namespace brisko
