#pragma once
// Placeholder until the registry module lands: the one call the boost commands make.
#include <cstdint>
#include <string>

#include "platform/registry_read.h"

namespace brisko::RegAccess {

std::string ReadRegValue(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
                         const std::string& valueName);

}  // namespace brisko::RegAccess
