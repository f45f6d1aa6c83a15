// The delivered import files: each one well formed and commented, no two files of
// one command touching the same value (their imports run at the same time, in any
// order), and the restore removing everything the web and TCP files set.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/boost/profile_fixture.h"

namespace brisko::test {
namespace {

struct ImportFile {
    std::set<std::string> set;      // "key|value" (lower case) given data
    std::set<std::string> removed;  // "key|value" deleted with =-
    bool commented = false;
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

ImportFile Load(const std::string& name) {
    const std::string bytes = ReadBytes(fs::path(BRISKO_BIN_DIR) / name);
    EXPECT_EQ(bytes.rfind("REGEDIT4\r\n", 0), 0u) << name;
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << name << ": CR LF line ends";
    ImportFile file;
    std::string key;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        const std::string line = bytes.substr(start, end - start);
        start = end == std::string::npos ? bytes.size() : end + 2;
        if (line.rfind(";", 0) == 0) file.commented = true;
        if (line.rfind("[", 0) == 0) key = Lower(line.substr(1, line.rfind(']') - 1));
        if (line.rfind("\"", 0) != 0) continue;
        const std::size_t close = line.find("\"=", 1);
        EXPECT_NE(close, std::string::npos) << name << ": " << line;
        const std::string value = key + "|" + Lower(line.substr(1, close - 1));
        const std::string data = line.substr(close + 2);
        EXPECT_TRUE(data == "-" || data.rfind("dword:", 0) == 0) << name << ": " << line;
        if (data.rfind("dword:", 0) == 0) {
            EXPECT_EQ(data.size(), 14u) << name << ": " << line;
        }
        (data == "-" ? file.removed : file.set).insert(value);
    }
    EXPECT_TRUE(file.commented) << name;
    return file;
}

TEST(ImportFiles, CommandsNeverRaceOnAValueAndTheRestoreUndoesWebAndTcp) {
    const std::vector<std::vector<std::string>> commands = {
        {"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg", "web-modem.reg", "tcp-modem.reg"},
        {"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
        {"no-web.reg", "no-tcp.reg"},
    };
    std::map<std::string, ImportFile> files;
    for (const auto& command : commands)
        for (const auto& name : command) files.emplace(name, Load(name));

    for (const auto& command : commands) {
        std::map<std::string, std::string> owner;
        for (const auto& name : command)
            for (const auto& value : files[name].set) {
                auto [it, added] = owner.emplace(value, name);
                EXPECT_TRUE(added) << value << " in " << it->second << " and " << name;
            }
    }
    std::set<std::string> restored = files["no-web.reg"].removed;
    restored.insert(files["no-tcp.reg"].removed.begin(), files["no-tcp.reg"].removed.end());
    for (const char* name : {"web.reg", "tcp.reg", "web-modem.reg", "tcp-modem.reg", "web-game.reg", "tcp-game.reg"}) {
        EXPECT_FALSE(files[name].set.empty()) << name;
        for (const auto& value : files[name].set) EXPECT_TRUE(restored.count(value)) << name << ": " << value;
    }
}

TEST(ImportFiles, StockPreferenceFilesAreMozillaPrefsFiles) {
    for (const char* name : {"control.js", "fire.js"}) {
        const std::string bytes = ReadBytes(fs::path(BRISKO_BIN_DIR) / name);
        EXPECT_EQ(bytes.rfind("# Mozilla User Preferences\r\n", 0), 0u) << name;
        EXPECT_NE(bytes.find("\r\nuser_pref(\"network.http.pipelining\", false);\r\n"), std::string::npos) << name;
        EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1) << name;
    }
}

}  // namespace
}  // namespace brisko::test
