// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Appends a whole block of bytes to a file in one write, so that several programs
// appending to the same file never interleave their blocks. The history of results
// is kept this way. Back ends: append_file_posix.cpp (O_APPEND and one write(2)),
// later append_file_win32.cpp (FILE_APPEND_DATA and one WriteFile).
// Free functions: whoever keeps such a file calls them; they hold no state.
#include <string>

#include "platform/error.h"

namespace brisko {

// Creates path (not its folder) when missing. When the file does not end with a line
// end (a writer was cut off mid-line), a line end goes first, so block starts a line.
Status AppendBlock(const std::string& path, const std::string& block);

// The whole file; a missing file reads as empty with *missing set.
Status ReadAppendedFile(const std::string& path, std::string* bytes, bool* missing);

}  // namespace brisko
