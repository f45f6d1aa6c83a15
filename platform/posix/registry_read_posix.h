#pragma once
#include <map>
#include <string>

#include "platform/registry_read.h"

namespace brisko {

// Reads the emulated registry store under <systemRoot>/registry.
class RegistryReaderPosix final : public RegistryReader {
public:
    explicit RegistryReaderPosix(std::string systemRoot);
    long OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) override;
    long QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* dataLength) override;
    long CloseKey(RegKeyHandle key) override;

private:
    struct OpenKeyInfo {
        std::uint32_t root;
        std::string path;
    };
    std::string m_systemRoot;
    std::map<RegKeyHandle, OpenKeyInfo> m_open;
    RegKeyHandle m_next = 1;
};

}  // namespace brisko
