// Placeholders until the real back ends land; each returns "not available".
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "platform/posix/system_root.h"

#include <cstdlib>

namespace brisko {

std::string SystemRootFolder() {
    const char* env = std::getenv("BRISKO_SYSTEM_ROOT");
    return env ? env : "/tmp/brisko-system";
}
Status ProvisionSystemRoot(const std::string&) { return Status::Ok(); }

RegistryReaderPosix::RegistryReaderPosix(std::string systemRoot) : m_systemRoot(std::move(systemRoot)) {}
long RegistryReaderPosix::OpenKey(std::uint32_t, const std::string&, RegKeyHandle* key) {
    *key = 0;
    return kErrorFileNotFound;
}
long RegistryReaderPosix::QueryValue(RegKeyHandle, const std::string&, std::uint32_t*, unsigned char*,
                                     std::uint32_t*) {
    return kErrorInvalidHandle;
}
long RegistryReaderPosix::CloseKey(RegKeyHandle) { return kErrorInvalidHandle; }

ProcessStarterPosix::ProcessStarterPosix(std::string programFolder, const PathMapper* paths)
    : m_programFolder(std::move(programFolder)), m_paths(paths) {}
Status ProcessStarterPosix::Start(const std::string&, WindowState) { return Status::Fail(-1, "not available"); }

PathMapperPosix::PathMapperPosix(std::string systemRoot, std::string programFolder)
    : m_systemRoot(std::move(systemRoot)), m_programFolder(std::move(programFolder)) {}
std::string PathMapperPosix::ToNative(const std::string& p) const { return p; }
std::string PathMapperPosix::ToWindows(const std::string& p) const { return p; }
std::string RunningProgramFolder() { return "."; }

}  // namespace brisko
