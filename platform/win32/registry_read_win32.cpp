// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/registry_read_win32.h"

#include <windows.h>

namespace brisko {

namespace {

// The predefined keys as windows.h makes them: 32-bit values sign-extended to a
// handle (HKEY_CURRENT_USER is 0xFFFFFFFF80000001 in a 64-bit process).
HKEY RootHandle(std::uint32_t rootKey) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(rootKey))));
}

HKEY KeyHandle(RegKeyHandle key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long RegistryReaderWin32::OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) {
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(RootHandle(rootKey), keyPath.c_str(), 0, KEY_QUERY_VALUE, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<RegKeyHandle>(opened) : 0;
    return result;
}

long RegistryReaderWin32::QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                                     unsigned char* data, std::uint32_t* dataLength) {
    // Handle 0 would name no key at all to the system; say so as Windows does for a closed one.
    if (key == 0) return ERROR_INVALID_HANDLE;
    DWORD valueType = 0;
    DWORD length = *dataLength;
    const LONG result = ::RegQueryValueExA(KeyHandle(key), valueName.c_str(), nullptr, &valueType, data, &length);
    *type = valueType;
    *dataLength = length;
    return result;
}

long RegistryReaderWin32::CloseKey(RegKeyHandle key) {
    if (key == 0) return ERROR_INVALID_HANDLE;
    return ::RegCloseKey(KeyHandle(key));
}

}  // namespace brisko
