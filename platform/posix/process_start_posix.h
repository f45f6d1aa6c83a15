#pragma once
#include <string>

#include "platform/paths.h"
#include "platform/process_start.h"

namespace brisko {

// Splits the command line as Windows does and starts the program directly (never a
// shell). A bare program name is looked for in the program's folder, then the
// current folder, then PATH; a Windows path ("C:\...") goes through the path mapping.
class ProcessStarterPosix final : public ProcessStarter {
public:
    ProcessStarterPosix(std::string programFolder, const PathMapper* paths);
    Status Start(const std::string& commandLine, WindowState state) override;

private:
    std::string m_programFolder;
    const PathMapper* m_paths;
};

}  // namespace brisko
