// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/registry_read.h"

namespace brisko {

// The real registry through advapi32: RegOpenKeyExW, RegQueryValueExW, RegCloseKey,
// their Win32 error codes passed on unchanged. Keys are opened for reading only. Names
// go in as UTF-8; string data comes back in UTF-8, its length counted in those bytes,
// so a value outside the ANSI code page keeps its meaning.
class RegistryReaderWin32 final : public RegistryReader {
public:
    long OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) override;
    long QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* dataLength) override;
    long CloseKey(RegKeyHandle key) override;
};

}  // namespace brisko
