#pragma once
// A registry of string values only, enough for "Volatile Environment" HOMEPATH.
#include <cstring>
#include <map>
#include <string>

#include "platform/registry_read.h"

namespace brisko::test {

class FakeStringRegistry final : public RegistryReader {
public:
    void Set(std::uint32_t root, const std::string& keyPath, const std::string& name, const std::string& text) {
        values[Key(root, keyPath) + "|" + name] = text;
    }

    long OpenKey(std::uint32_t root, const std::string& keyPath, RegKeyHandle* key) override {
        m_keys[++m_next] = Key(root, keyPath);
        *key = m_next;
        return kErrorSuccess;
    }
    long QueryValue(RegKeyHandle key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* length) override {
        auto found = values.find(m_keys[key] + "|" + name);
        if (found == values.end()) return kErrorFileNotFound;
        const std::string& text = found->second;
        if (text.size() + 1 > *length) return kErrorMoreData;
        std::memcpy(data, text.c_str(), text.size() + 1);
        *length = static_cast<std::uint32_t>(text.size() + 1);
        *type = kRegSz;
        return kErrorSuccess;
    }
    long CloseKey(RegKeyHandle) override { return kErrorSuccess; }

    std::map<std::string, std::string> values;

private:
    static std::string Key(std::uint32_t root, const std::string& keyPath) {
        return std::to_string(root) + "|" + keyPath;
    }
    std::map<RegKeyHandle, std::string> m_keys;
    RegKeyHandle m_next = 0;
};

}  // namespace brisko::test
