// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt-free back ends on Windows: the real registry, processes and files. Paths are
// real ones, and the program's folder holds the data and the helper programs too.
#include <windows.h>

#include "platform/services.h"
#include "platform/win32/elevation_win32.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/process_start_win32.h"
#include "platform/win32/registry_read_win32.h"
#include "platform/win32/utf8_win32.h"

namespace brisko {

std::string UserDataFolder() {
    // The roaming application data folder, as every Windows program keeps its own there.
    // Read wide: a user name outside the ANSI code page is in it.
    wchar_t appData[32768];
    const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", appData, 32768);
    return (n > 0 && n < 32768 ? Utf8(appData, n) : std::string(".")) + "\\Brisko";
}

SystemServices CreateSystemServices() {
    SystemServices services;
    services.userDataFolder = UserDataFolder();
    const std::string folder = RunningProgramFolder();
    services.folders = {folder, folder, folder};
    services.clock = std::make_unique<SystemClock>();
    services.paths = std::make_unique<PathMapperWin32>();
    // Windows itself looks in the program's folder first, then the current folder, the
    // system folders and PATH: "regedit" is Windows' own unless one lies beside us.
    services.processes = std::make_unique<ProcessStarterWin32>();
    services.registry = std::make_unique<RegistryReaderWin32>();
    services.files = std::make_unique<FileSystemWin32>();
    services.elevation = std::make_unique<ElevationWin32>();
    wchar_t windows[MAX_PATH];
    const UINT n = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n > 0 && n < MAX_PATH) services.regedit = "\"" + Utf8(windows, n) + "\\regedit.exe\"";
    return services;
}

}  // namespace brisko
