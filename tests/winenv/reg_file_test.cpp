// SPDX-License-Identifier: GPL-3.0-or-later
// The .reg format as the registry editor reads it, and the exporter's round trip.
#include <gtest/gtest.h>

#include "winenv/ansi_text.h"
#include "winenv/reg_file.h"

namespace brisko {
namespace {

// One line per command: "set HKEY_CURRENT_USER\K [name] type:hex bytes", "-key ...".
std::vector<std::string> DescribeAll(const RegFileContent& content) {
    static const char kDigits[] = "0123456789abcdef";
    std::vector<std::string> out;
    for (const RegCommand& c : content.commands) {
        std::string key = RootName(c.root), hex;
        for (const std::string& part : c.path) key += "\\" + part;
        for (std::uint8_t b : c.value.data) hex += {kDigits[b >> 4], kDigits[b & 0xF]};
        switch (c.kind) {
            case RegCommand::Kind::CreateKey: out.push_back("key " + key); break;
            case RegCommand::Kind::DeleteKey: out.push_back("-key " + key); break;
            case RegCommand::Kind::SetValue:
                out.push_back("set " + key + " [" + c.valueName + "] " + std::to_string(c.value.type) + ":" + hex);
                break;
            case RegCommand::Kind::DeleteValue: out.push_back("-value " + key + " [" + c.valueName + "]"); break;
        }
    }
    return out;
}

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n";
const std::string kSet = "set HKEY_CURRENT_USER\\K ";

struct LineCase {
    const char* lines;
    std::vector<std::string> expected;  // the commands
    std::size_t messages;
};

void ExpectParsed(const std::string& before, const std::vector<std::string>& first,
                  const std::vector<LineCase>& cases, const std::string& after = "") {
    for (const LineCase& c : cases) {
        const RegFileContent content = ParseRegFile(before + c.lines + after, "t.reg");
        std::vector<std::string> expected = first;
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(DescribeAll(content), expected) << testing::PrintToString(std::string(c.lines));
        EXPECT_EQ(content.messages.size(), c.messages) << testing::PrintToString(std::string(c.lines));
    }
}

TEST(RegFileLines, HeadersKeysAndValuesParseAsTheRegistryEditorReadsThem) {
    ExpectParsed(kV5 + "[HKCU\\K]\r\n", {"key HKEY_CURRENT_USER\\K"}, {
        {"  \"foo\" =  \"bar\"  ; note", {kSet + "[foo] 1:6200610072000000"}, 0},
        {R"("a\\b\"c"="x\\y\"z")", {kSet + "[a\\b\"c] 1:78005c0079002200" "7a000000"}, 0},
        {R"("p"="C:\temp")", {kSet + "[p] 1:43003a005c00740065006d0070000000"}, 0},
        {"@=\"d\"\r\n\"\"=\"e\"", {kSet + "[] 1:64000000", kSet + "[] 1:65000000"}, 0},
        {"\"foo\"=-\r\n@=-", {"-value HKEY_CURRENT_USER\\K [foo]", "-value HKEY_CURRENT_USER\\K []"}, 0},
        {"\"a\"=\"foo", {}, 1},
        {"\"a\"=\"foo\"bar\"", {}, 1},
        {"\"a=\"x\"", {}, 1},
        {"\"a\" \"x\"", {}, 1},
        {"\"a\"=-x", {}, 1},
        {"\"d\"=dword:  FFFFabcd  ; c", {kSet + "[d] 4:cdabffff"}, 0},
        {"\"d\"=dword:", {}, 1},
        {"\"d\"=dword:123456789", {}, 1},
        {"\"d\"=dword:0x123", {}, 1},
        {"\"d\"=DWORD:1", {}, 1},
        {"\"b\"=hex:", {kSet + "[b] 3:"}, 0},
        {"\"b\"=hex:1,AB , ff,", {kSet + "[b] 3:01abff"}, 0},
        {"\"b\"=hex:01,zz", {}, 1},
        {"\"b\"=hex:123", {}, 1},
        {"\"x\"=hex(2):41,00,00,00", {kSet + "[x] 2:41000000"}, 0},
        {"\"x\"=hex(b):01", {kSet + "[x] 11:01"}, 0},
        {"\"x\"=hex(0x2):41,00", {}, 1},
        {"\"x\"=hex(100000000):41", {}, 1},
        {"\"x\"=hex(2)41", {}, 1},
        // continuation lines
        {"\"b\"=hex:01,\\\r\n  02,\\\r\n\r\n; note\r\n 03", {kSet + "[b] 3:010203"}, 0},
        {"\"b\"=hex:01,\\\r\n\"c\"=\"x\"", {kSet + "[c] 1:78000000"}, 1},
        {"\"b\"=hex:01,\\", {kSet + "[b] 3:01"}, 0},
        {"; c\r\n# c\r\n\r\n   \t", {}, 0},
        {"junk", {}, 1},
    });
    ExpectParsed(kV5, {}, {
        {"[hkey_local_machine\\Software\\X]", {"key HKEY_LOCAL_MACHINE\\Software\\X"}, 0},
        {"  [HKCR\\a \\] trailing", {"key HKEY_CLASSES_ROOT\\a "}, 0},
        {"[HKU]", {"key HKEY_USERS"}, 0},
        {"[HKCU\\a]b]", {"key HKEY_CURRENT_USER\\a]b"}, 0},
        {"[-HKCU]", {}, 1},
        {"[HKCU\\a\\\\b]", {}, 1},
        {"[HKCU\\a", {}, 1},
        // A key that fails takes its values with it, quietly after its own message.
        {"[ HKEY_CURRENT_USER\\a]\r\n\"v\"=\"x\"", {}, 1},
        {"[FOO\\a]\r\n\"v\"=\"x\"\r\n[HKCU\\b]\r\n\"v\"=dword:2",
         {"key HKEY_CURRENT_USER\\b", "set HKEY_CURRENT_USER\\b [v] 4:02000000"}, 1},
        {"[FOO\\a]\r\n\"v\"=hex:01,\\\r\n  02,\\\r\n  03", {}, 1},
        {"\"v\"=\"x\"", {}, 1},
        {"[-HKCU\\a]\r\n\"v\"=\"x\"", {"-key HKEY_CURRENT_USER\\a"}, 1},
    });
    // A wrong header gives one message and imports nothing. Version 4 files hold multi and
    // expand strings as ANSI bytes.
    const std::vector<std::string> v4 = {"key HKEY_CURRENT_USER\\K", kSet + "[x] 2:41000000",
                                         kSet + "[b] 3:4100"};
    ExpectParsed("", {}, {
        {"REGEDIT4", v4, 0},
        {"  REGEDIT4", v4, 0},
        {"regedit4", {}, 1},
        {"REGEDIT4 x", {}, 1},
        {"Windows Registry Editor Version 5", {}, 1},
        {"", {}, 1},
    }, "\r\n[HKCU\\K]\r\n\"x\"=hex(2):41,00\r\n\"b\"=hex:41,00\r\n");
}

TEST(RegFileEncoding, LineEndsAndUtf16GiveTheSameCommands) {
    const std::string lf = "REGEDIT4\n[HKCU\\K]\n\"v\"=\"\xC3\xA9t\xC3\xA9\"\n\"w\"=dword:7";
    std::string cr = lf, crlf;
    for (char& c : cr) c = c == '\n' ? '\r' : c;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::vector<std::uint8_t> wide = Utf16ToBytes(AnsiToUtf16(crlf));
    const std::string utf16 = "\xFF\xFE" + std::string(wide.begin(), wide.end());

    const std::vector<std::string> expected = DescribeAll(ParseRegFile(lf, "lf"));
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(expected[1], kSet + "[v] 1:e9007400e9000000");
    for (const std::string& file : {cr, crlf, utf16, "\xEF\xBB\xBF" + crlf}) {
        EXPECT_EQ(DescribeAll(ParseRegFile(file, "f")), expected);
        // Read in pieces of one byte: signatures, CR LF and UTF-16 units split anywhere.
        RegFileContent pieces;
        RegFileParser parser("f", {[&](RegCommand& c) { pieces.commands.push_back(c); return true; }, nullptr});
        for (char c : file) parser.Feed(std::string_view(&c, 1));
        EXPECT_TRUE(parser.Finish().headerOk);
        EXPECT_EQ(DescribeAll(pieces), expected) << testing::PrintToString(file);
    }
    // Latin-1 bytes that are not UTF-8 keep their letters.
    EXPECT_EQ(DescribeAll(ParseRegFile("REGEDIT4\n[HKCU\\K]\n\"v\"=\"\xE9t\xE9\"\n\"w\"=dword:7", "l1")), expected);
}

// Windows refuses key names over 255 characters and paths over 512 levels; so do we,
// before a hostile file can make a tree too deep to take apart.
TEST(RegFileHostile, KeysBeyondWindowsLimitsAreRefused) {
    const auto repeat = [](std::size_t times, const std::string& part) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i) out += part;
        return out;
    };
    const struct {
        std::string key;
        bool accepted;
    } rows[] = {
        {"HKCU" + repeat(512, "\\a"), true},
        {"HKCU" + repeat(513, "\\a"), false},
        {"HKCU\\" + std::string(255, 'n'), true},
        {"HKCU\\" + std::string(256, 'n') + "\\b", false},
        {"HKCU\\" + repeat(255, "\xC3\xA9"), true},       // 255 characters, 510 bytes
        {"HKCU\\" + repeat(128, "\xF0\x9F\x98\x80"), false},  // 256 UTF-16 units
    };
    for (const auto& row : rows) {
        const RegFileContent content = ParseRegFile(kV5 + "[" + row.key + "]\r\n\"v\"=\"x\"\r\n", "deep.reg");
        EXPECT_EQ(content.commands.size(), row.accepted ? 2u : 0u) << row.key.substr(0, 40);
        ASSERT_EQ(content.messages.size(), row.accepted ? 0u : 1u) << row.key.substr(0, 40);
        if (!row.accepted) {
            EXPECT_EQ(content.messages[0].rfind("deep.reg:2: key", 0), 0u) << content.messages[0];
        }
    }
}

TEST(RegTree, DeepTreeIsTakenApartWithoutRecursion) {
    auto root = std::make_unique<RegKey>("HKEY_CURRENT_USER");
    const std::vector<std::string> deep(200000, "a");
    root->Create(deep);
    EXPECT_TRUE(root->Remove({"a"}));
    root->Create(deep).SetValue("v", MakeDwordValue(1));
    root.reset();
}

TEST(RegExport, RoundTripKeepsEveryByteAndSpelling) {
    RegKey root("HKEY_CURRENT_USER");
    RegKey& key = root.Create({"Software", "Mixed Case"});
    key.SetValue("", MakeStringValue("default"));
    key.SetValue("quote\"back\\slash", MakeStringValue("C:\\a \"b\" \xE2\x82\xAC"));
    key.SetValue("dword", MakeDwordValue(0xDEADBEEF));
    key.SetValue("short dword", {4, {1, 2}});
    key.SetValue("empty binary", {3, {}});
    key.SetValue("no terminator", {1, {'a', 0}});
    key.SetValue("zero inside", {1, {'a', 0, 0, 0, 'b', 0, 0, 0}});
    key.SetValue("line end", {1, {'a', 0, '\n', 0, 0, 0}});
    key.SetValue("lone surrogate", {1, {0x00, 0xD8, 0, 0}});
    key.SetValue("odd", {1, {'a', 0, 0}});
    key.SetValue("\xC3\x89t\xC3\xA9", {0xFFFF, {}});
    std::vector<std::uint8_t> big(300);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    key.SetValue("a rather long value name that pushes the first line", {7, big});
    root.Create({"Software", "Mixed Case", "Empty Subkey"});

    const std::string exported = ExportRegFile({{"HKEY_CURRENT_USER", &root}});
    ASSERT_EQ(exported.substr(0, 2), "\xFF\xFE");
    const std::string text = Utf16ToAnsi(BytesToUtf16(
        reinterpret_cast<const std::uint8_t*>(exported.data()) + 2, exported.size() - 2));
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }

    const RegFileContent content = ParseRegFile(exported, "export.reg");
    EXPECT_TRUE(content.messages.empty()) << content.messages.front();
    RegKey again("HKEY_CURRENT_USER");
    for (const RegCommand& c : content.commands) ApplyRegCommand(again, c);
    EXPECT_EQ(ExportRegFile({{"HKEY_CURRENT_USER", &again}}), exported);
    // The same export again could hide a lossy one: the values themselves must survive.
    const RegKey* copy = again.Find({"Software", "Mixed Case"});
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Values().size(), key.Values().size());
    for (std::size_t i = 0; i < key.Values().size(); ++i)
        EXPECT_EQ(copy->Values()[i].value, key.Values()[i].value) << key.Values()[i].name;
}

}  // namespace
}  // namespace brisko
