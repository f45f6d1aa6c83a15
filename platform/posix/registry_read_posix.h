// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "winenv/winenv.h"
#include "platform/registry_read.h"

namespace brisko {

// Reads the emulated registry store under <systemRoot>/registry. Data is read live
// from the hive files; a parsed hive is reused while its file stays the same one.
class RegistryReaderPosix final : public RegistryReader {
public:
    explicit RegistryReaderPosix(std::string systemRoot);
    long OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) override;
    long QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* dataLength) override;
    long CloseKey(RegKeyHandle key) override;

private:
    struct OpenKeyInfo {
        RegRoot root;
        std::vector<std::string> path;
    };
    struct CachedHive {
        bool present = false;
        unsigned long long device = 0, inode = 0, size = 0;
        long long mtimeSec = 0, mtimeNsec = 0;
        std::unique_ptr<RegKey> hive;
    };
    // The current content of a hive, or nullptr when it cannot be read.
    const RegKey* Hive(RegRoot root);

    RegistryStore m_store;
    std::map<RegKeyHandle, OpenKeyInfo> m_open;
    std::map<RegRoot, CachedHive> m_cache;
    RegKeyHandle m_next = 1;
};

}  // namespace brisko
