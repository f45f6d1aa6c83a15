#include "tests/boost/import_file_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry_read.h"
#include "tests/boost/profile_fixture.h"

namespace brisko::test {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::string RegValueName::Id() const { return Lower(std::to_string(root) + "|" + keyPath + "|" + name); }

ImportFile LoadImportFile(const std::string& name) {
    const std::string bytes = ReadBytes(fs::path(BRISKO_BIN_DIR) / name);
    EXPECT_EQ(bytes.rfind("REGEDIT4\r\n", 0), 0u) << name;
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << name << ": CR LF line ends";
    ImportFile file;
    RegValueName key;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        const std::string line = bytes.substr(start, end - start);
        start = end == std::string::npos ? bytes.size() : end + 2;
        if (line.rfind(";", 0) == 0) file.commented = true;
        if (line.rfind("[", 0) == 0) {
            const std::string path = line.substr(1, line.rfind(']') - 1);
            const std::string root = path.substr(0, path.find('\\'));
            key.root = root == "HKEY_CURRENT_USER" ? kHkeyCurrentUser : kHkeyLocalMachine;
            EXPECT_TRUE(root == "HKEY_CURRENT_USER" || root == "HKEY_LOCAL_MACHINE") << name << ": " << line;
            key.keyPath = path.substr(root.size() + 1);
        }
        if (line.rfind("\"", 0) != 0) continue;
        const std::size_t close = line.find("\"=", 1);
        EXPECT_NE(close, std::string::npos) << name << ": " << line;
        RegValueName value = key;
        value.name = line.substr(1, close - 1);
        const std::string data = line.substr(close + 2);
        if (data == "-") {
            file.removed.push_back(value);
        } else {
            EXPECT_TRUE(data.rfind("dword:", 0) == 0 && data.size() == 14) << name << ": " << line;
            file.dwords.emplace_back(value, static_cast<std::uint32_t>(std::stoul(data.substr(6), nullptr, 16)));
        }
    }
    EXPECT_TRUE(file.commented) << name;
    return file;
}

}  // namespace brisko::test
