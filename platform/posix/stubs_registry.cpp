// Placeholder until the registry store lands.
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

}  // namespace brisko
