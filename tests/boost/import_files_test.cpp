// The delivered import files: each one well formed and commented, no two files of
// one command touching the same value (their imports run at the same time, in any
// order), and the restore removing everything the web and TCP files set.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/boost/import_file_reader.h"
#include "tests/boost/profile_fixture.h"

namespace brisko::test {
namespace {

TEST(ImportFiles, CommandsNeverRaceOnAValueAndTheRestoreUndoesWebAndTcp) {
    const std::vector<std::vector<std::string>> commands = {
        {"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg", "web-modem.reg", "tcp-modem.reg"},
        {"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
        {"no-web.reg", "no-tcp.reg"},
    };
    std::map<std::string, ImportFile> files;
    for (const auto& command : commands)
        for (const auto& name : command) files.emplace(name, LoadImportFile(name));

    for (const auto& command : commands) {
        std::map<std::string, std::string> owner;
        for (const auto& name : command)
            for (const auto& [value, data] : files[name].dwords) {
                auto [it, added] = owner.emplace(value.Id(), name);
                EXPECT_TRUE(added) << value.Id() << " in " << it->second << " and " << name;
            }
    }
    std::set<std::string> restored;
    for (const char* name : {"no-web.reg", "no-tcp.reg"})
        for (const auto& value : files[name].removed) restored.insert(value.Id());
    for (const char* name : {"web.reg", "tcp.reg", "web-modem.reg", "tcp-modem.reg", "web-game.reg", "tcp-game.reg"}) {
        EXPECT_FALSE(files[name].dwords.empty()) << name;
        for (const auto& [value, data] : files[name].dwords)
            EXPECT_TRUE(restored.count(value.Id())) << name << ": " << value.Id();
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
