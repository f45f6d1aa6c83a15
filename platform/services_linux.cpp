// The Qt-free back ends on Linux: the emulated Windows machine under the system root.
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "platform/services.h"
#include "winenv/winenv.h"

namespace brisko {

SystemServices CreateSystemServices() {
    const std::string systemRoot = AnchorSystemRoot();
    ProvisionSystemRoot(systemRoot);
    SystemServices services;
    // Import files and stock preferences come from the data folder; regedit and the
    // reopener are found first among the helpers, as Windows looks beside the program.
    services.folders = FindProgramFolders(RunningProgramFolder());
    services.clock = std::make_unique<SystemClock>();
    auto paths = std::make_unique<PathMapperPosix>(systemRoot, services.folders.data);
    services.processes = std::make_unique<ProcessStarterPosix>(services.folders.helpers, paths.get());
    services.paths = std::move(paths);
    services.registry = std::make_unique<RegistryReaderPosix>(systemRoot);
    services.files = std::make_unique<FileSystemPosix>();
    return services;
}

}  // namespace brisko
