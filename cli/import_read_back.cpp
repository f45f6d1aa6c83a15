// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/import_read_back.h"

#include <cstdio>
#include <map>
#include <cstdlib>
#include <memory>

#include "boost/reg_access.h"
#include "platform/open_file.h"

namespace brisko::cli {

namespace {

const std::map<std::string, std::uint32_t> kRoots = {{"HKEY_CURRENT_USER", kHkeyCurrentUser},
                                                     {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
                                                     {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
                                                     {"HKEY_USERS", kHkeyUsers}};

// "..." with \\ and \" inside; false when the text is no such string.
bool Unquote(const std::string& text, std::size_t from, std::string* out, std::size_t* end) {
    if (from >= text.size() || text[from] != '"') return false;
    out->clear();
    for (std::size_t i = from + 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            *out += text[++i];
        } else if (text[i] == '"') {
            *end = i + 1;
            return true;
        } else {
            *out += text[i];
        }
    }
    return false;
}

std::string ReadFile(const std::string& path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    Status error;
    std::unique_ptr<std::FILE, Closer> file(OpenFile(path, "rb", &error));
    std::string text;
    if (!file) return text;
    char buffer[8192];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, got);
    return text;
}

}  // namespace

std::optional<ImportedValue> ValueToReadBack(const std::string& regText) {
    std::optional<ImportedValue> first;
    std::optional<std::uint32_t> root;
    std::string key;
    std::size_t at = 0;
    while (at < regText.size()) {
        std::size_t end = regText.find('\n', at);
        if (end == std::string::npos) end = regText.size();
        std::string line = regText.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line[0] == '[') {
            const std::string path = line.substr(1, line.find(']') - 1);
            const std::size_t slash = path.find('\\');
            const auto found = kRoots.find(path.substr(0, slash));
            root.reset();
            // A removed key ("[-...]") has no value to read back by name.
            if (found != kRoots.end() && slash != std::string::npos) {
                root = found->second;
                key = path.substr(slash + 1);
            }
            continue;
        }
        ImportedValue value;
        std::size_t next = 0;
        if (!root || !Unquote(line, 0, &value.name, &next) || next >= line.size() || line[next] != '=') continue;
        const std::string data = line.substr(next + 1);
        if (data == "-") {
            value.removed = true;
        } else if (data.rfind("dword:", 0) == 0 && data.size() == 14) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%03lu", std::strtoul(data.c_str() + 6, nullptr, 16));
            value.data = digits;
        } else if (std::size_t close = 0; !Unquote(data, 0, &value.data, &close)) {
            continue;  // hex and the like
        }
        value.rootKey = *root;
        value.keyPath = key;
        if (*root == kHkeyLocalMachine) return value;
        if (!first) first = value;
    }
    return first;
}

std::vector<std::string> ImportsNotLanded(RegistryReader& registry, const std::string& folder,
                                          const std::vector<std::string>& files, const std::function<bool()>& wait) {
    std::vector<std::pair<std::string, ImportedValue>> pending;
    for (const std::string& file : files)
        if (std::optional<ImportedValue> value = ValueToReadBack(ReadFile(folder + "/" + file)))
            pending.emplace_back(file, *value);
    for (;;) {
        std::vector<std::pair<std::string, ImportedValue>> still;
        for (auto& [file, value] : pending) {
            const std::string got = RegAccess::ReadRegValue(registry, value.rootKey, value.keyPath, value.name);
            const bool landed = value.removed ? got == "Not Found" : got == value.data;
            if (!landed) still.emplace_back(file, value);
        }
        pending = std::move(still);
        if (pending.empty() || !wait()) break;
    }
    std::vector<std::string> names;
    for (const auto& entry : pending) names.push_back(entry.first);
    return names;
}

}  // namespace brisko::cli
