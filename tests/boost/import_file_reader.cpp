// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/boost/import_file_reader.h"

#include <gtest/gtest.h>

#include "platform/registry_read.h"
#include "tests/boost/profile_fixture.h"

namespace brisko::test {

ImportFile LoadImportFile(const std::string& name) {
    const std::string bytes = ReadBytes(fs::path(BRISKO_BIN_DIR) / name);
    EXPECT_EQ(bytes.rfind("REGEDIT4\r\n", 0), 0u) << name;
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << name << ": CR LF line ends";
    ImportFile file;
    RegValueName key;
    for (std::size_t start = 0, end; start < bytes.size(); start = end == std::string::npos ? end : end + 2) {
        end = bytes.find("\r\n", start);
        const std::string line = bytes.substr(start, end - start);
        if (line.rfind("[", 0) == 0) {
            const std::string path = line.substr(1, line.rfind(']') - 1);
            const std::string root = path.substr(0, path.find('\\'));
            EXPECT_TRUE(root == "HKEY_CURRENT_USER" || root == "HKEY_LOCAL_MACHINE") << name << ": " << line;
            key.root = root == "HKEY_CURRENT_USER" ? kHkeyCurrentUser : kHkeyLocalMachine;
            key.keyPath = path.substr(root.size() + 1);
        }
        const std::size_t close = line.find("\"=");
        if (line.rfind("\"", 0) != 0 || close == std::string::npos || line.substr(close + 2) == "-") continue;
        RegValueName value = key;
        value.name = line.substr(1, close - 1);
        const std::string data = line.substr(close + 2);
        EXPECT_TRUE(data.rfind("dword:", 0) == 0 && data.size() == 14) << name << ": " << line;
        file.dwords.emplace_back(value, static_cast<std::uint32_t>(std::stoul(data.substr(6), nullptr, 16)));
    }
    return file;
}

}  // namespace brisko::test
