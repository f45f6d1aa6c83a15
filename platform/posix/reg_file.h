#pragma once
// Registry editor files (.reg): the parser behind "regedit /s" and the store's own
// hive files, and the exporter behind "regedit /e".
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/registry_tree.h"

namespace brisko {

inline constexpr const char* kRegHeaderV4 = "REGEDIT4";
inline constexpr const char* kRegHeaderV5 = "Windows Registry Editor Version 5.00";

enum class RegFileVersion { Regedit4, Version5 };

struct RegCommand {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    RegRoot root = RegRoot::CurrentUser;
    std::vector<std::string> path;  // below the root
    std::string valueName;          // SetValue / DeleteValue; empty: the default value
    RegValue value;                 // SetValue
    int line = 0;
};

struct RegFileContent {
    bool headerOk = false;  // without a known header nothing is imported
    RegFileVersion version = RegFileVersion::Version5;
    std::vector<RegCommand> commands;
    // Each skipped line as "<file>:<line>: <reason>".
    std::vector<std::string> messages;
};

// Parses a whole file: UTF-16LE when it starts with FF FE, otherwise ANSI (UTF-8;
// other bytes read as Latin-1). A bad line is skipped with a message; the rest counts.
RegFileContent ParseRegFile(std::string_view bytes, std::string_view fileName);

// Applies one command to the hive (the root key) it names.
void ApplyRegCommand(RegKey& hive, const RegCommand& command);

// A key to export and its full name ("HKEY_CURRENT_USER\Software\X").
struct RegExportItem {
    std::string fullName;
    const RegKey* key = nullptr;
};

// Version 5 text of the keys and everything below them, as the registry editor
// writes it: UTF-16LE with byte order mark, lines ended by CR LF. Strings that a
// "..." line cannot carry unchanged are written as hex(1) so every byte survives.
std::string ExportRegFile(const std::vector<RegExportItem>& items);

}  // namespace brisko
