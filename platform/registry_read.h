// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Registry read service with RegOpenKeyA / RegQueryValueExA / RegCloseKey semantics.
// Back ends: RegistryReaderPosix (posix/, the emulated registry store), RegistryReaderWin32 (win32/,
// RegOpenKeyExW, strings in UTF-8).
// SystemServices (platform/services.h) owns it; RegAccess and the windows borrow it.
#include <cstdint>
#include <string>

namespace brisko {

inline constexpr std::uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kHkeyUsers = 0x80000003u;
inline constexpr std::uint32_t kHkeyCurrentConfig = 0x80000005u;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Windows error codes the store reports.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;

using RegKeyHandle = std::uintptr_t;  // 0 is never a valid open key

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // Opens keyPath (backslash-separated, a trailing backslash allowed) below rootKey.
    virtual long OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) = 0;
    // dataLength goes in as the buffer size and comes back as the data size in bytes
    // (a string's counts its terminating zero). Data larger than the buffer: kErrorMoreData.
    virtual long QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* dataLength) = 0;
    virtual long CloseKey(RegKeyHandle key) = 0;
};

}  // namespace brisko
