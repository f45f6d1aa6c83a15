// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/import_read_back.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/open_file.h"
#include "tests/support/fakes.h"

namespace brisko::cli {
namespace {

TEST(ImportReadBackTest, TheMachinesFirstDwordStringOrRemovalIsTheOneReadBack) {
    struct Row {
        const char* text;
        std::optional<ImportedValue> want;
    };
    const std::string head = "REGEDIT4\r\n\r\n; a comment\r\n";
    const Row rows[] = {
        // HKLM wins over an earlier HKCU value: it is the one that needs the rights.
        {"[HKEY_CURRENT_USER\\Software\\A]\r\n\"x\"=dword:0000000a\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\B]\r\n"
         "\"hex\"=hex:01,02\r\n\"TcpWindowSize\"=dword:0003ebc0\r\n",
         ImportedValue{kHkeyLocalMachine, "SYSTEM\\B", "TcpWindowSize", "256960", false}},
        {"[HKEY_CURRENT_USER\\Software\\A]\r\n\"say \\\"q\\\"\"=\"C:\\\\x\"\r\n",
         ImportedValue{kHkeyCurrentUser, "Software\\A", "say \"q\"", "C:\\x", false}},
        {"[HKEY_LOCAL_MACHINE\\SYSTEM\\B]\n\"Gone\"=-\n", ImportedValue{kHkeyLocalMachine, "SYSTEM\\B", "Gone", "", true}},
        // A removed key, an unknown root and binary data give nothing to read back.
        {"[-HKEY_LOCAL_MACHINE\\SYSTEM\\B]\r\n[HKEY_NOWHERE\\C]\r\n\"v\"=dword:00000001\r\n"
         "[HKEY_CURRENT_USER\\D]\r\n\"b\"=hex:00\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<ImportedValue> got = ValueToReadBack(head + row.text);
        ASSERT_EQ(got.has_value(), row.want.has_value()) << row.text;
        if (!got) continue;
        EXPECT_EQ(got->rootKey, row.want->rootKey) << row.text;
        EXPECT_EQ(got->keyPath, row.want->keyPath) << row.text;
        EXPECT_EQ(got->name, row.want->name) << row.text;
        EXPECT_EQ(got->data, row.want->data) << row.text;
        EXPECT_EQ(got->removed, row.want->removed) << row.text;
    }
}

TEST(ImportReadBackTest, FilesWhoseValueNeverLandsAreNamedAfterWaitingForTheSlowOnes) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / PathFromUtf8("brisko-read-back-Бриско");
    std::filesystem::create_directories(folder);
    const auto write = [&folder](const char* name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << "REGEDIT4\r\n\r\n" << text;
    };
    write("landed.reg", "[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"1\"\r\n");
    write("slow.reg", "[HKEY_LOCAL_MACHINE\\K]\r\n\"b\"=\"2\"\r\n");
    write("refused.reg", "[HKEY_LOCAL_MACHINE\\K]\r\n\"c\"=\"3\"\r\n");
    write("removes.reg", "[HKEY_CURRENT_USER\\K]\r\n\"d\"=-\r\n");
    test::FakeStringRegistry registry;
    registry.Set(kHkeyLocalMachine, "K", "a", "1");
    int rounds = 0;
    const std::vector<std::string> missing = ImportsNotLanded(
        registry, Utf8FromPath(folder), {"landed.reg", "slow.reg", "refused.reg", "removes.reg", "absent.reg"},
        [&] {
            if (++rounds == 2) registry.Set(kHkeyLocalMachine, "K", "b", "2");
            return rounds < 4;
        });
    EXPECT_EQ(missing, std::vector<std::string>{"refused.reg"});
    EXPECT_EQ(rounds, 4);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace brisko::cli
