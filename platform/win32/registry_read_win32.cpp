// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/registry_read_win32.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/utf8_win32.h"

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
    const LONG result = ::RegOpenKeyExW(RootHandle(rootKey), Wide(keyPath).c_str(), 0, KEY_QUERY_VALUE, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<RegKeyHandle>(opened) : 0;
    return result;
}

long RegistryReaderWin32::QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                                     unsigned char* data, std::uint32_t* dataLength) {
    // Handle 0 would name no key at all to the system; say so as Windows does for a closed one.
    if (key == 0) return ERROR_INVALID_HANDLE;
    const std::wstring name = Wide(valueName);
    DWORD valueType = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExW(KeyHandle(key), name.c_str(), nullptr, &valueType, nullptr, &size);
    std::vector<BYTE> wide;
    // The value may grow between the two calls: ask again until it fits.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        wide.resize(size + sizeof(wchar_t));
        size = static_cast<DWORD>(wide.size());
        result = ::RegQueryValueExW(KeyHandle(key), name.c_str(), nullptr, &valueType, wide.data(), &size);
        if (result != ERROR_MORE_DATA) break;
    }
    if (result != ERROR_SUCCESS) return result;
    wide.resize(size);
    *type = valueType;
    std::string bytes;
    if (valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ) {
        // Stored without its terminating zero (reg.exe and others do that), a string
        // still comes back with one, as RegQueryValueExA gives it.
        std::wstring text(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t));
        if (text.empty() || text.back() != L'\0') text.push_back(L'\0');
        bytes = Utf8(text);
    } else {
        bytes.assign(wide.begin(), wide.end());
    }
    const std::uint32_t room = *dataLength;
    *dataLength = static_cast<std::uint32_t>(bytes.size());
    if (data == nullptr) return ERROR_SUCCESS;
    if (bytes.size() > room) return ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

long RegistryReaderWin32::CloseKey(RegKeyHandle key) {
    if (key == 0) return ERROR_INVALID_HANDLE;
    return ::RegCloseKey(KeyHandle(key));
}

}  // namespace brisko
