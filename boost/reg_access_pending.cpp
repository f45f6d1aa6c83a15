// Placeholder until the registry module lands: text values only, "Not Found" otherwise.
#include "boost/reg_access_pending.h"

namespace brisko::RegAccess {

std::string ReadRegValue(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
                         const std::string& valueName) {
    RegKeyHandle key = 0;
    std::string result = "Not Found";
    if (registry.OpenKey(rootKey, keyPath, &key) == kErrorSuccess) {
        unsigned char data[2048];
        std::uint32_t type = 0, length = sizeof data;
        if (registry.QueryValue(key, valueName, &type, data, &length) == kErrorSuccess && length > 0 &&
            type != kRegDword && type != kRegBinary)
            result.assign(reinterpret_cast<const char*>(data), length - 1);
    }
    registry.CloseKey(key);
    return result;
}

}  // namespace brisko::RegAccess
