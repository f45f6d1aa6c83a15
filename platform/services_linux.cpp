// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt-free back ends on Linux: the emulated Windows machine under the system root.
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/posix/elevation_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "platform/services.h"
#include "winenv/winenv.h"

namespace brisko {

std::string UserDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/brisko";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) home = env;
    else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) home = user->pw_dir;
    return home + "/.local/share/brisko";
}

SystemServices CreateSystemServices() {
    // Past a file-size limit a write is to fail with EFBIG, which we report, rather
    // than end the program before it has shown its results.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string systemRoot = AnchorSystemRoot();
    ProvisionSystemRoot(systemRoot);
    SystemServices services;
    // Import files and stock preferences come from the data folder; regedit and the
    // reopener are found first among the helpers, as Windows looks beside the program.
    services.folders = FindProgramFolders(RunningProgramFolder());
    services.userDataFolder = UserDataFolder();
    services.clock = std::make_unique<SystemClock>();
    auto paths = std::make_unique<PathMapperPosix>(systemRoot, services.folders.data);
    // Only our regedit knows the emulated registry: Wine's, say, would report success
    // and change nothing we read.
    services.processes = std::make_unique<ProcessStarterPosix>(services.folders.helpers, paths.get(),
                                                               std::vector<std::string>{"regedit"});
    services.paths = std::move(paths);
    services.registry = std::make_unique<RegistryReaderPosix>(systemRoot);
    services.files = std::make_unique<FileSystemPosix>();
    services.elevation = std::make_unique<ElevationPosix>();
    return services;
}

}  // namespace brisko
