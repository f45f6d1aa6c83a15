// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading one registry value as text. Never fails: every failure gives "Not Found".
#include <cstdint>
#include <string>

#include "platform/registry_read.h"

namespace brisko::RegAccess {

// DWORD: unsigned decimal, at least three digits ("005"); binary: upper-case hex pairs
// ("01AB"); any other type: the data without its last byte (a string's terminating zero).
std::string ReadRegValue(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
                         const std::string& valueName);

}  // namespace brisko::RegAccess
