// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output and error on Windows: a console, or a file or pipe.
#include <windows.h>

#include "platform/terminal.h"

namespace brisko {

namespace {
HANDLE StreamHandle(StandardStream stream) {
    return ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
}  // namespace

bool IsTerminal(StandardStream stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(StreamHandle(stream), &mode) != FALSE;
}

int TerminalColumns(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(StreamHandle(stream), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace brisko
