// SPDX-License-Identifier: GPL-3.0-or-later
#include "boost/reg_access.h"

#include <array>
#include <cstdio>

namespace brisko::RegAccess {
namespace {

constexpr std::uint32_t kBufferSize = 2048;
const char kNotFound[] = "Not Found";

}  // namespace

std::string ReadRegValue(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
                         const std::string& valueName) {
    RegKeyHandle key = 0;
    const bool opened = registry.OpenKey(rootKey, keyPath, &key) == kErrorSuccess;
    if (!opened) key = 0;

    std::array<unsigned char, kBufferSize> buffer;
    buffer.fill(' ');
    std::uint32_t length = kBufferSize;
    std::uint32_t type = 0;
    // A query on handle 0 fails by itself, so a failed open needs no branch of its own.
    const long result = registry.QueryValue(key, valueName, &type, buffer.data(), &length);

    std::string text;
    if (!opened || result != kErrorSuccess || length > kBufferSize) {
        text = kNotFound;
    } else if (type == kRegDword) {
        // Bytes the value does not have count as zero, not as the blanks of the buffer.
        std::uint32_t number = 0;
        for (std::uint32_t i = 0; i < 4 && i < length; ++i) number |= std::uint32_t{buffer[i]} << (8 * i);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(number));
        text = digits;
    } else if (type == kRegBinary) {
        static const char kHex[] = "0123456789ABCDEF";
        text.reserve(length * 2);
        for (std::uint32_t i = 0; i < length; ++i) {
            text += kHex[buffer[i] >> 4];
            text += kHex[buffer[i] & 0xF];
        }
    } else if (length > 0) {
        text.assign(reinterpret_cast<const char*>(buffer.data()), length - 1);
    }
    registry.CloseKey(key);
    return text;
}

}  // namespace brisko::RegAccess
