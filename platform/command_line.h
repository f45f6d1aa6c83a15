// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows command lines, split the way CommandLineToArgvW splits them.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brisko {

// The program name as Windows reads it: backslashes are plain; a name that starts
// with a double quote ends at the next one, any other name at the first blank or tab.
struct ProgramName {
    std::string name;
    bool quoted = false;
    std::size_t end = 0;  // offset just past the name (and its closing quote)
};

// Leading blanks and tabs are skipped; an empty or blank line has no name (empty text).
ProgramName ReadProgramName(std::string_view commandLine);

// Splits what follows the program name: blanks and tabs separate, double quotes
// toggle quoting, 2n backslashes before a quote give n and the quote toggles, 2n+1
// give n and a literal quote, other backslashes are literal. "" is an empty argument.
std::vector<std::string> SplitWindowsArguments(std::string_view arguments);

// The whole line: program name, then its arguments. An empty or blank line gives
// no elements at all.
std::vector<std::string> SplitWindowsCommandLine(const std::string& commandLine);

}  // namespace brisko
