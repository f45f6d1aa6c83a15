#include "platform/posix/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/posix/ansi_text.h"

namespace brisko {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    return i;
}

// Only blanks, then optionally a ';' comment, up to the end.
bool OnlyCommentFrom(std::string_view s, std::size_t i) {
    i = SkipBlanks(s, i);
    return i == s.size() || s[i] == ';';
}

// Whole file -> UTF-8 text, whatever its encoding.
std::string DecodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2;
        return Utf16ToAnsi(BytesToUtf16(data, bytes.size() - 2));
    }
    // Editors on Windows like to put a UTF-8 signature in front; it is not part of the header.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return AnsiToUtf8(bytes);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Reads a quoted text starting after its opening quote: \\ and \" are escapes, any
// other backslash stands for itself. Returns the position after the closing quote.
std::optional<std::size_t> ReadQuoted(std::string_view s, std::size_t i, std::string* out) {
    out->clear();
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            *out += s[i + 1];
            i += 2;
        } else if (c == '"') {
            return i + 1;
        } else {
            *out += c;
            ++i;
        }
    }
    return std::nullopt;
}

enum class HexResult { Complete, Continues, Invalid };

// Appends a comma-separated byte list to data. A '\' where the next byte would
// start carries the list on to the next line.
HexResult ReadHexList(std::string_view s, std::size_t i, std::vector<std::uint8_t>* data) {
    while (true) {
        i = SkipBlanks(s, i);
        if (i == s.size() || s[i] == ';') return HexResult::Complete;
        if (s[i] == '\\') return HexResult::Continues;
        const int high = HexDigit(s[i]);
        if (high < 0) return HexResult::Invalid;
        int byte = high;
        ++i;
        if (i < s.size() && HexDigit(s[i]) >= 0) {
            byte = byte * 16 + HexDigit(s[i]);
            ++i;
        }
        data->push_back(static_cast<std::uint8_t>(byte));
        i = SkipBlanks(s, i);
        if (i == s.size() || s[i] == ';') return HexResult::Complete;
        if (s[i] != ',') return HexResult::Invalid;
        ++i;
    }
}

// "1234abcd" with blanks and a comment around it, at most 8 digits.
bool ReadDword(std::string_view s, std::size_t i, std::uint32_t* value) {
    i = SkipBlanks(s, i);
    std::size_t digits = 0;
    std::uint32_t v = 0;
    while (i < s.size() && HexDigit(s[i]) >= 0) {
        v = v * 16 + static_cast<std::uint32_t>(HexDigit(s[i]));
        ++digits;
        ++i;
    }
    if (digits == 0 || digits > 8 || !OnlyCommentFrom(s, i)) return false;
    *value = v;
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view fileName) : m_fileName(fileName) {}

    RegFileContent Run(std::string_view bytes) {
        const std::string text = DecodeFile(bytes);
        const std::vector<std::string_view> lines = SplitLines(text);
        if (!ReadHeader(lines)) return std::move(m_content);
        for (std::size_t n = 1; n < lines.size(); ++n) {
            m_lineNumber = static_cast<int>(n) + 1;
            if (m_pendingHex && ContinueHex(lines[n])) continue;
            ParseLine(lines[n]);
        }
        if (m_pendingHex) FinishHex();  // a file may end right after the '\'
        return std::move(m_content);
    }

private:
    bool ReadHeader(const std::vector<std::string_view>& lines) {
        m_lineNumber = 1;
        std::string_view first = lines.empty() ? std::string_view{} : lines[0];
        first.remove_prefix(std::min(SkipBlanks(first, 0), first.size()));
        if (first == kRegHeaderV5) {
            m_content.version = RegFileVersion::Version5;
        } else if (first == kRegHeaderV4) {
            m_content.version = RegFileVersion::Regedit4;
        } else {
            Message(std::string("not a registry file: the first line must be \"") + kRegHeaderV4 +
                    "\" or \"" + kRegHeaderV5 + "\"");
            return false;
        }
        m_content.headerOk = true;
        return true;
    }

    void Message(const std::string& reason, int line = 0) {
        m_content.messages.push_back(std::string(m_fileName) + ":" + std::to_string(line ? line : m_lineNumber) +
                                     ": " + reason);
    }

    void ParseLine(std::string_view line) {
        const std::size_t i = SkipBlanks(line, 0);
        if (i == line.size() || line[i] == ';' || line[i] == '#') return;
        if (line[i] == '[') return ParseKeyLine(line.substr(i + 1));
        if (line[i] == '@' || line[i] == '"') return ParseValueLine(line, i);
        Message("unrecognised line skipped");
    }

    void ParseKeyLine(std::string_view text) {
        m_key.reset();
        m_keyFailed = true;  // until the key below proves good
        if (!text.empty() && IsBlank(text[0])) return Message("blank after '[': key skipped");
        const std::size_t close = text.rfind(']');
        if (close == std::string_view::npos) return Message("missing ']': key skipped");
        std::string_view name = text.substr(0, close);
        const bool remove = !name.empty() && name[0] == '-';
        if (remove) name.remove_prefix(1);
        if (name.find('\0') != std::string_view::npos) return Message("key name holds a zero character");

        const std::size_t slash = name.find('\\');
        RegRoot root;
        const std::string_view rootName = name.substr(0, slash);
        if (!RootFromName(rootName, &root)) {
            return Message("unknown root key \"" + std::string(rootName) + "\": key skipped");
        }
        std::string_view rest = slash == std::string_view::npos ? std::string_view{} : name.substr(slash + 1);
        if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
        std::vector<std::string> path;
        if (!SplitKeyPath(rest, &path)) return Message("empty part in key name: key skipped");

        RegCommand command;
        command.root = root;
        command.path = std::move(path);
        command.line = m_lineNumber;
        if (remove) {
            if (command.path.empty()) return Message("a root key cannot be deleted");
            command.kind = RegCommand::Kind::DeleteKey;
            m_content.commands.push_back(std::move(command));
            m_keyFailed = false;  // values after a deletion have no key, like after the header
            return;
        }
        command.kind = RegCommand::Kind::CreateKey;
        m_key = command;
        m_keyFailed = false;
        m_content.commands.push_back(std::move(command));
    }

    void ParseValueLine(std::string_view line, std::size_t i) {
        std::string name;
        if (line[i] == '@') {
            ++i;
        } else {
            const auto end = ReadQuoted(line, i + 1, &name);
            if (!end) return Message("value name has no closing quote: value skipped");
            i = *end;
        }
        i = SkipBlanks(line, i);
        if (i == line.size() || line[i] != '=') return Message("'=' expected after the value name: value skipped");
        if (name.find('\0') != std::string::npos) return Message("value name holds a zero character");
        i = SkipBlanks(line, i + 1);
        // Parsed in full even without a key, so that its continuation lines are not
        // taken for lines of their own.
        RegCommand command = m_key ? *m_key : RegCommand{};
        command.valueName = std::move(name);
        command.line = m_lineNumber;
        const std::string_view data = line.substr(i);

        if (data.substr(0, 1) == "-") {
            if (!OnlyCommentFrom(data, 1)) return Message("unexpected text after '-': line skipped");
            command.kind = RegCommand::Kind::DeleteValue;
            Commit(std::move(command));
            return;
        }
        command.kind = RegCommand::Kind::SetValue;
        if (data.substr(0, 1) == "\"") {
            std::string text;
            const auto end = ReadQuoted(data, 1, &text);
            if (!end) return Message("string has no closing quote: value skipped");
            if (!OnlyCommentFrom(data, *end)) return Message("unexpected text after the string: value skipped");
            command.value = MakeStringValue(text);
            Commit(std::move(command));
            return;
        }
        if (data.substr(0, 6) == "dword:") {
            std::uint32_t number;
            if (!ReadDword(data, 6, &number)) return Message("dword needs 1 to 8 hex digits: value skipped");
            command.value = MakeDwordValue(number);
            Commit(std::move(command));
            return;
        }
        std::size_t hexStart;
        if (data.substr(0, 4) == "hex:") {
            command.value.type = kRegBinaryType;
            hexStart = 4;
        } else if (data.substr(0, 4) == "hex(") {
            const std::size_t close = data.find("):", 4);
            const std::string_view digits =
                close == std::string_view::npos ? std::string_view{} : data.substr(4, close - 4);
            std::uint32_t type = 0;
            if (digits.empty() || digits.size() > 8) return Message("bad type in hex(...): value skipped");
            for (char c : digits) {
                if (HexDigit(c) < 0) return Message("bad type in hex(...): value skipped");
                type = type * 16 + static_cast<std::uint32_t>(HexDigit(c));
            }
            command.value.type = type;
            hexStart = close + 2;
        } else {
            return Message("unknown data type: value skipped");
        }
        m_pending = std::move(command);
        m_pendingHex = true;
        HandleHex(data, hexStart);
    }

    void HandleHex(std::string_view text, std::size_t from) {
        switch (ReadHexList(text, from, &m_pending.value.data)) {
        case HexResult::Complete:
            FinishHex();
            break;
        case HexResult::Continues:
            break;
        case HexResult::Invalid:
            m_pendingHex = false;
            Message("bad hex data: value skipped");
            break;
        }
    }

    // True when the line belonged to the pending hex list.
    bool ContinueHex(std::string_view line) {
        const std::size_t i = SkipBlanks(line, 0);
        if (i == line.size() || line[i] == ';') return true;
        if (HexDigit(line[i]) < 0) {
            m_pendingHex = false;
            Message("hex data breaks off: value on line " + std::to_string(m_pending.line) + " skipped");
            return false;  // the line itself is read as a line of its own
        }
        HandleHex(line, i);
        return true;
    }

    void FinishHex() {
        m_pendingHex = false;
        RegValue& value = m_pending.value;
        // Version 4 files hold expandable and multi-strings as ANSI bytes.
        if (m_content.version == RegFileVersion::Regedit4 &&
            (value.type == kRegExpandSzType || value.type == kRegMultiSzType)) {
            const std::string ansi(value.data.begin(), value.data.end());
            value.data = Utf16ToBytes(AnsiToUtf16(ansi));
        }
        Commit(std::move(m_pending));
    }

    void Commit(RegCommand command) {
        if (m_key) {
            m_content.commands.push_back(std::move(command));
        } else if (!m_keyFailed) {  // after a key that failed, its own message is enough
            Message("value outside any key: value skipped", command.line);
        }
    }

    static constexpr std::uint32_t kRegBinaryType = 3;
    static constexpr std::uint32_t kRegExpandSzType = 2;
    static constexpr std::uint32_t kRegMultiSzType = 7;

    std::string_view m_fileName;
    RegFileContent m_content;
    int m_lineNumber = 0;
    std::optional<RegCommand> m_key;  // the key that value lines go to
    bool m_keyFailed = false;
    bool m_pendingHex = false;
    RegCommand m_pending;
};

// ---- export ----

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// The text of a REG_SZ that a "..." line carries unchanged, if there is one.
std::optional<std::string> PlainString(const RegValue& value) {
    if (value.type != 1 || value.data.size() < 2 || value.data.size() % 2 != 0) return std::nullopt;
    std::u16string text = BytesToUtf16(value.data.data(), value.data.size());
    if (text.back() != u'\0') return std::nullopt;
    text.pop_back();
    for (char16_t c : text) {
        if (c == u'\0' || c == u'\r' || c == u'\n') return std::nullopt;
    }
    if (!IsWellFormedUtf16(text)) return std::nullopt;
    return Utf16ToAnsi(text);
}

void AppendHexList(std::string& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    static const char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t width = i + 1 < data.size() ? 3 : 2;
        if (i > 0 && column + width > 79) {  // lines stay within 80 columns with the '\'
            out += "\\\r\n  ";
            column = 2;
        }
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        if (width == 3) out += ',';
        column += width;
    }
}

void AppendValue(std::string& out, const NamedValue& named) {
    const std::size_t lineStart = out.size();
    if (named.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, named.name);
    }
    out += '=';
    const RegValue& value = named.value;
    if (auto text = PlainString(value)) {
        AppendQuoted(out, *text);
    } else if (value.type == 4 && value.data.size() == 4) {
        char buffer[16];
        const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                     (static_cast<std::uint32_t>(value.data[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        out += buffer;
    } else {
        if (value.type == 3) {
            out += "hex:";
        } else {
            char buffer[24];
            std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
            out += buffer;
        }
        // Columns are counted in bytes; names beyond ASCII only make a line shorter.
        AppendHexList(out, out.size() - lineStart, value.data);
    }
    out += "\r\n";
}

void AppendKey(std::string& out, const std::string& fullName, const RegKey& key) {
    out += '[';
    out += fullName;
    out += "]\r\n";
    for (const NamedValue& value : key.Values()) AppendValue(out, value);
    out += "\r\n";
    for (const RegKey* sub : key.Subkeys()) AppendKey(out, fullName + "\\" + sub->Name(), *sub);
}

}  // namespace

RegFileContent ParseRegFile(std::string_view bytes, std::string_view fileName) {
    return Parser(fileName).Run(bytes);
}

void ApplyRegCommand(RegKey& hive, const RegCommand& command) {
    switch (command.kind) {
    case RegCommand::Kind::CreateKey:
        hive.Create(command.path);
        break;
    case RegCommand::Kind::DeleteKey:
        hive.Remove(command.path);
        break;
    case RegCommand::Kind::SetValue:
        hive.Create(command.path).SetValue(command.valueName, command.value);
        break;
    case RegCommand::Kind::DeleteValue:
        if (RegKey* key = hive.Find(command.path)) key->RemoveValue(command.valueName);
        break;
    }
}

std::string ExportRegFile(const std::vector<RegExportItem>& items) {
    std::string text = std::string(kRegHeaderV5) + "\r\n\r\n";
    for (const RegExportItem& item : items) AppendKey(text, item.fullName, *item.key);
    const std::vector<std::uint8_t> bytes = Utf16ToBytes(AnsiToUtf16(text));
    std::string file = "\xFF\xFE";
    file.append(bytes.begin(), bytes.end());
    return file;
}

}  // namespace brisko
