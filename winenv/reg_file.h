// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Registry editor files (.reg): the parser behind "regedit /s" and the store's own
// hive files, and the exporter behind "regedit /e". Both work piece by piece, so a
// file of hundreds of megabytes costs about what its keys and values hold.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "winenv/registry_tree.h"

namespace brisko {

inline constexpr const char* kRegHeaderV4 = "REGEDIT4";
inline constexpr const char* kRegHeaderV5 = "Windows Registry Editor Version 5.00";

// Windows' own limits: a key name of at most 255 characters (UTF-16 units), at most
// 512 levels below the root. Deeper or longer key lines are refused.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;

enum class RegFileVersion { Regedit4, Version5 };

struct RegCommand {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    RegRoot root = RegRoot::CurrentUser;
    std::vector<std::string> path;  // below the root
    std::string valueName;          // SetValue / DeleteValue; empty: the default value
    RegValue value;                 // SetValue
    int line = 0;
    // The same number for a key line and the values under it, so that applying them
    // finds the key once rather than once per value.
    std::uint64_t keySerial = 0;
};

struct RegFileContent {
    bool headerOk = false;  // without a known header nothing is imported
    RegFileVersion version = RegFileVersion::Version5;
    std::vector<RegCommand> commands;
    // Each skipped line as "<file>:<line>: <reason>".
    std::vector<std::string> messages;
};

// What a parse hands out as it goes, in file order. A command handler may take the
// value's data; returning false stops the parse.
struct RegParseHandlers {
    std::function<bool(RegCommand&)> command;
    std::function<void(const std::string&)> message;  // "<file>:<line>: <reason>"
};

struct RegParseSummary {
    bool headerOk = false;
    bool empty = true;  // not a single byte
    RegFileVersion version = RegFileVersion::Version5;
    std::size_t messages = 0;
};

// A parse fed with the file's bytes in pieces of any size: UTF-16LE when the file
// starts with FF FE, otherwise ANSI (UTF-8; other bytes read as Latin-1). A bad line
// is skipped with a message; the rest counts.
class RegFileParser {
public:
    RegFileParser(std::string_view fileName, RegParseHandlers handlers);
    ~RegFileParser();
    RegFileParser(const RegFileParser&) = delete;
    RegFileParser& operator=(const RegFileParser&) = delete;

    // False once nothing more will be read (a bad header, or a handler said stop).
    bool Feed(std::string_view bytes);
    RegParseSummary Finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// The whole file at once, commands and messages collected.
RegFileContent ParseRegFile(std::string_view bytes, std::string_view fileName);
// From an open file to its end; a read failure is returned, what came before it counts.
Status ParseRegFd(int fd, std::string_view fileName, const RegParseHandlers& handlers, RegParseSummary* summary);

// Applies one command to the hive (the root key) it names.
void ApplyRegCommand(RegKey& hive, const RegCommand& command);

// Applies a stream of commands to one hive, taking each value's data.
class RegApplier {
public:
    explicit RegApplier(RegKey& hive) : m_hive(hive) {}
    void Apply(RegCommand& command);

private:
    RegKey& m_hive;
    RegKey* m_key = nullptr;  // the key of command serial m_serial
    std::uint64_t m_serial = 0;
};

// Version 5 text as the registry editor writes it: UTF-16LE with byte order mark,
// lines ended by CR LF, handed to out in pieces of about 64 KB. Strings that a "..."
// line cannot carry unchanged are written as hex(1) so every byte survives.
class RegFileWriter {
public:
    using Sink = std::function<bool(std::string_view bytes)>;  // false stops the writing
    explicit RegFileWriter(Sink out);
    // The key, named fullName ("HKEY_CURRENT_USER\Software\X"), and everything below it.
    bool Key(const std::string& fullName, const RegKey& key);
    bool Finish();

private:
    bool Line(std::string_view text);  // text + CR LF
    bool Flush();

    Sink m_out;
    std::string m_buffer;
    bool m_ok = true;
};

// A key to export and its full name ("HKEY_CURRENT_USER\Software\X").
struct RegExportItem {
    std::string fullName;
    const RegKey* key = nullptr;
};

// The whole exported file in one string.
std::string ExportRegFile(const std::vector<RegExportItem>& items);

}  // namespace brisko
