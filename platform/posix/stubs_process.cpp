// Placeholder until process start and path mapping land.
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"

namespace brisko {

ProcessStarterPosix::ProcessStarterPosix(std::string programFolder, const PathMapper* paths)
    : m_programFolder(std::move(programFolder)), m_paths(paths) {}
Status ProcessStarterPosix::Start(const std::string&, WindowState) { return Status::Fail(-1, "not available"); }

PathMapperPosix::PathMapperPosix(std::string systemRoot, std::string programFolder)
    : m_systemRoot(std::move(systemRoot)), m_programFolder(std::move(programFolder)) {}
std::string PathMapperPosix::ToNative(const std::string& p) const { return p; }
std::string PathMapperPosix::ToWindows(const std::string& p) const { return p; }
std::string RunningProgramFolder() { return "."; }

}  // namespace brisko
