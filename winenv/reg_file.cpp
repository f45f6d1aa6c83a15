// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <optional>
#include <unistd.h>

#include "winenv/ansi_text.h"

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

// Reads a quoted text starting after its opening quote: \\ and \" are escapes, any
// other backslash stands for itself. Returns the position after the closing quote.
std::optional<std::size_t> ReadQuoted(std::string_view s, std::size_t i, std::string* out) {
    out->clear();
    while (i < s.size()) {
        const std::size_t special = s.find_first_of("\\\"", i);
        if (special == std::string_view::npos) break;
        out->append(s.substr(i, special - i));
        i = special;
        if (s[i] == '"') return i + 1;
        if (i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            *out += s[i + 1];
            i += 2;
        } else {
            *out += '\\';
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

// Splits the file's bytes into lines of UTF-8 text, whatever the encoding, without
// holding more than the line being read.
class LineDecoder {
public:
    explicit LineDecoder(std::function<bool(std::string_view)> line) : m_line(std::move(line)) {}

    bool Feed(std::string_view bytes) {
        if (m_stopped) return false;
        if (m_encoding == Encoding::Unknown) {
            const std::size_t take = std::min(bytes.size(), 3 - m_head.size());
            m_head.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (m_head.size() < 3) return true;
            if (!Decide()) return false;
        }
        return Decode(bytes);
    }

    void Finish() {
        if (m_stopped) return;
        if (m_encoding == Encoding::Unknown && !Decide()) return;
        if (m_encoding == Encoding::Utf16 ? !m_wide.empty() : !m_ansi.empty()) EmitLine();
    }

private:
    enum class Encoding { Unknown, Ansi, Utf16 };

    bool Decide() {
        std::string_view head = m_head;
        if (head.substr(0, 2) == "\xFF\xFE") {
            m_encoding = Encoding::Utf16;
            head.remove_prefix(2);
        } else {
            m_encoding = Encoding::Ansi;
            // Editors on Windows like to put a UTF-8 signature in front; it is not part of the header.
            if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
        }
        return Decode(head);
    }

    bool Decode(std::string_view bytes) {
        return m_encoding == Encoding::Utf16 ? DecodeUtf16(bytes) : DecodeAnsi(bytes);
    }

    bool DecodeAnsi(std::string_view bytes) {
        std::size_t i = 0;
        while (i < bytes.size() && !m_stopped) {
            if (m_afterCr) {
                m_afterCr = false;
                if (bytes[i] == '\n') {
                    ++i;
                    continue;
                }
            }
            std::size_t end = i;
            while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
            m_ansi.append(bytes.substr(i, end - i));
            if (end == bytes.size()) break;
            m_afterCr = bytes[end] == '\r';
            EmitLine();
            i = end + 1;
        }
        return !m_stopped;
    }

    bool DecodeUtf16(std::string_view bytes) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
        std::size_t i = 0;
        if (m_oddByte >= 0 && !bytes.empty()) {
            Unit(static_cast<char16_t>(m_oddByte | (byte(0) << 8)));
            m_oddByte = -1;
            i = 1;
        }
        for (; i + 1 < bytes.size() && !m_stopped; i += 2) Unit(static_cast<char16_t>(byte(i) | (byte(i + 1) << 8)));
        if (i < bytes.size() && !m_stopped) m_oddByte = byte(i);  // an odd final byte is dropped
        return !m_stopped;
    }

    void Unit(char16_t c) {
        if (m_stopped) return;
        const bool afterCr = m_afterCr;
        m_afterCr = false;
        if (c == u'\n' && afterCr) return;
        if (c == u'\r' || c == u'\n') {
            m_afterCr = c == u'\r';
            EmitLine();
        } else {
            m_wide += c;
        }
    }

    void EmitLine() {
        bool go;
        if (m_encoding == Encoding::Utf16) {
            go = m_line(Utf16ToAnsi(m_wide));
            m_wide.clear();
        } else if (std::all_of(m_ansi.begin(), m_ansi.end(), [](char c) { return (c & 0x80) == 0; })) {
            go = m_line(m_ansi);
            m_ansi.clear();
        } else {
            go = m_line(AnsiToUtf8(m_ansi));
            m_ansi.clear();
        }
        if (!go) m_stopped = true;
    }

    std::function<bool(std::string_view)> m_line;
    Encoding m_encoding = Encoding::Unknown;
    std::string m_head;  // the first bytes, until the encoding is known
    std::string m_ansi;
    std::u16string m_wide;
    int m_oddByte = -1;
    bool m_afterCr = false;
    bool m_stopped = false;
};

// The number of UTF-16 units Windows counts for a UTF-8 name.
std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

class Parser {
public:
    Parser(std::string_view fileName, RegParseHandlers handlers)
        : m_fileName(fileName), m_handlers(std::move(handlers)) {}

    // One line of text; false when nothing more is wanted.
    bool Line(std::string_view line) {
        ++m_lineNumber;
        if (m_lineNumber == 1) return ReadHeader(line);
        if (m_pendingHex && ContinueHex(line)) return !m_stopped;
        ParseLine(line);
        return !m_stopped;
    }

    RegParseSummary Finish(bool empty) {
        if (m_lineNumber == 0) ReadHeader({});
        if (m_pendingHex && !m_stopped) FinishHex();  // a file may end right after the '\'
        m_summary.empty = empty;
        return m_summary;
    }

private:
    bool ReadHeader(std::string_view first) {
        m_lineNumber = 1;
        first.remove_prefix(std::min(SkipBlanks(first, 0), first.size()));
        if (first == kRegHeaderV5) {
            m_summary.version = RegFileVersion::Version5;
        } else if (first == kRegHeaderV4) {
            m_summary.version = RegFileVersion::Regedit4;
        } else {
            Message(std::string("not a registry file: the first line must be \"") + kRegHeaderV4 + "\" or \"" +
                    kRegHeaderV5 + "\"");
            return false;
        }
        m_summary.headerOk = true;
        return true;
    }

    void Message(const std::string& reason, int line = 0) {
        ++m_summary.messages;
        if (m_handlers.message)
            m_handlers.message(std::string(m_fileName) + ":" + std::to_string(line ? line : m_lineNumber) + ": " +
                               reason);
    }

    void Emit(RegCommand& command) {
        if (m_handlers.command && !m_handlers.command(command)) m_stopped = true;
    }

    void ParseLine(std::string_view line) {
        const std::size_t i = SkipBlanks(line, 0);
        if (i == line.size() || line[i] == ';' || line[i] == '#') return;
        if (line[i] == '[') return ParseKeyLine(line.substr(i + 1));
        if (line[i] == '@' || line[i] == '"') return ParseValueLine(line, i);
        Message("unrecognised line skipped");
    }

    void ParseKeyLine(std::string_view text) {
        m_hasKey = false;
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

        RegCommand& command = m_key;
        command.path.clear();
        for (std::size_t start = 0; !rest.empty();) {
            const std::size_t end = rest.find('\\', start);
            const std::string_view part = rest.substr(start, end == std::string_view::npos ? end : end - start);
            if (part.empty()) return Message("empty part in key name: key skipped");
            if (Utf16Length(part) > kMaxKeyNameLength) {
                return Message("key name longer than " + std::to_string(kMaxKeyNameLength) +
                               " characters: key skipped");
            }
            if (command.path.size() == kMaxKeyDepth) {
                return Message("key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels: key skipped");
            }
            command.path.emplace_back(part);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        command.root = root;
        command.line = m_lineNumber;
        command.keySerial = ++m_serial;
        if (remove) {
            if (command.path.empty()) return Message("a root key cannot be deleted");
            command.kind = RegCommand::Kind::DeleteKey;
            m_keyFailed = false;  // values after a deletion have no key, like after the header
            Emit(command);
            return;
        }
        command.kind = RegCommand::Kind::CreateKey;
        m_hasKey = true;
        m_keyFailed = false;
        Emit(command);
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
        RegCommand& command = m_value;
        command.valueName = std::move(name);
        command.value = RegValue{};
        command.line = m_lineNumber;
        const std::string_view data = line.substr(i);

        if (data.substr(0, 1) == "-") {
            if (!OnlyCommentFrom(data, 1)) return Message("unexpected text after '-': line skipped");
            command.kind = RegCommand::Kind::DeleteValue;
            return Commit();
        }
        command.kind = RegCommand::Kind::SetValue;
        if (data.substr(0, 1) == "\"") {
            std::string text;
            const auto end = ReadQuoted(data, 1, &text);
            if (!end) return Message("string has no closing quote: value skipped");
            if (!OnlyCommentFrom(data, *end)) return Message("unexpected text after the string: value skipped");
            command.value = MakeStringValue(text);
            return Commit();
        }
        if (data.substr(0, 6) == "dword:") {
            std::uint32_t number;
            if (!ReadDword(data, 6, &number)) return Message("dword needs 1 to 8 hex digits: value skipped");
            command.value = MakeDwordValue(number);
            return Commit();
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
        m_pendingHex = true;
        HandleHex(data, hexStart);
    }

    void HandleHex(std::string_view text, std::size_t from) {
        switch (ReadHexList(text, from, &m_value.value.data)) {
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
            Message("hex data breaks off: value on line " + std::to_string(m_value.line) + " skipped");
            return false;  // the line itself is read as a line of its own
        }
        HandleHex(line, i);
        return true;
    }

    void FinishHex() {
        m_pendingHex = false;
        RegValue& value = m_value.value;
        // Version 4 files hold expandable and multi-strings as ANSI bytes.
        if (m_summary.version == RegFileVersion::Regedit4 &&
            (value.type == kRegExpandSzType || value.type == kRegMultiSzType)) {
            const std::string ansi(value.data.begin(), value.data.end());
            value.data = Utf16ToBytes(AnsiToUtf16(ansi));
        }
        Commit();
    }

    void Commit() {
        if (!m_hasKey) {
            // After a key that failed, its own message is enough.
            if (!m_keyFailed) Message("value outside any key: value skipped", m_value.line);
            return;
        }
        if (m_value.keySerial != m_key.keySerial) {  // the key's path, copied once per key
            m_value.root = m_key.root;
            m_value.path = m_key.path;
            m_value.keySerial = m_key.keySerial;
        }
        Emit(m_value);
    }

    static constexpr std::uint32_t kRegBinaryType = 3;
    static constexpr std::uint32_t kRegExpandSzType = 2;
    static constexpr std::uint32_t kRegMultiSzType = 7;

    std::string m_fileName;
    RegParseHandlers m_handlers;
    RegParseSummary m_summary;
    int m_lineNumber = 0;
    RegCommand m_key;    // the key that value lines go to, while m_hasKey
    RegCommand m_value;  // the value being read
    bool m_hasKey = false;
    bool m_keyFailed = false;
    bool m_pendingHex = false;
    bool m_stopped = false;
    std::uint64_t m_serial = 0;
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
    out.reserve(out.size() + data.size() * 3 + data.size() / 20 * 5);
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

// One value's line (and its continuation lines), without the final line end.
void ValueText(std::string& out, const NamedValue& named) {
    out.clear();
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
        AppendHexList(out, out.size(), value.data);
    }
}

constexpr std::size_t kWritePiece = 64 * 1024;

}  // namespace

class RegFileParser::Impl {
public:
    Impl(std::string_view fileName, RegParseHandlers handlers)
        : m_parser(fileName, std::move(handlers)), m_lines([this](std::string_view line) { return m_parser.Line(line); }) {}
    Parser m_parser;
    LineDecoder m_lines;
    bool m_empty = true;
};

RegFileParser::RegFileParser(std::string_view fileName, RegParseHandlers handlers)
    : m_impl(std::make_unique<Impl>(fileName, std::move(handlers))) {}

RegFileParser::~RegFileParser() = default;

bool RegFileParser::Feed(std::string_view bytes) {
    if (!bytes.empty()) m_impl->m_empty = false;
    return m_impl->m_lines.Feed(bytes);
}

RegParseSummary RegFileParser::Finish() {
    m_impl->m_lines.Finish();
    return m_impl->m_parser.Finish(m_impl->m_empty);
}

RegFileContent ParseRegFile(std::string_view bytes, std::string_view fileName) {
    RegFileContent content;
    RegFileParser parser(fileName, {[&](RegCommand& command) {
                                        content.commands.push_back(command);
                                        return true;
                                    },
                                    [&](const std::string& message) { content.messages.push_back(message); }});
    parser.Feed(bytes);
    const RegParseSummary summary = parser.Finish();
    content.headerOk = summary.headerOk;
    content.version = summary.version;
    return content;
}

Status ParseRegFd(int fd, std::string_view fileName, const RegParseHandlers& handlers, RegParseSummary* summary) {
    RegFileParser parser(fileName, handlers);
    std::string buffer(kWritePiece, '\0');
    Status status;
    while (true) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            status = Status::FromErrno(errno);
            break;
        }
        if (!parser.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) break;
    }
    *summary = parser.Finish();
    return status;
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

void RegApplier::Apply(RegCommand& command) {
    switch (command.kind) {
    case RegCommand::Kind::CreateKey:
        m_key = &m_hive.Create(command.path);
        m_serial = command.keySerial;
        break;
    case RegCommand::Kind::DeleteKey:
        m_hive.Remove(command.path);
        m_key = nullptr;  // it may have been below the deleted one
        break;
    case RegCommand::Kind::SetValue:
        if (!m_key || m_serial != command.keySerial) {
            m_key = &m_hive.Create(command.path);
            m_serial = command.keySerial;
        }
        m_key->SetValue(command.valueName, std::move(command.value));
        break;
    case RegCommand::Kind::DeleteValue:
        if (m_key && m_serial == command.keySerial) {
            m_key->RemoveValue(command.valueName);
        } else if (RegKey* key = m_hive.Find(command.path)) {
            key->RemoveValue(command.valueName);
        }
        break;
    }
}

RegFileWriter::RegFileWriter(Sink out) : m_out(std::move(out)) {
    m_buffer = "\xFF\xFE";
    Line(kRegHeaderV5);
    Line("");
}

bool RegFileWriter::Line(std::string_view text) {
    AppendUtf16Bytes(m_buffer, text);
    m_buffer.append("\r\0\n\0", 4);
    return m_buffer.size() < kWritePiece || Flush();
}

bool RegFileWriter::Flush() {
    if (m_ok && !m_buffer.empty()) m_ok = m_out(m_buffer);
    m_buffer.clear();
    return m_ok;
}

bool RegFileWriter::Key(const std::string& fullName, const RegKey& top) {
    // Depth first with a stack of our own: a deep tree must not exhaust the call stack.
    struct Level {
        std::vector<const RegKey*> subkeys;
        std::size_t next = 0;
        std::size_t nameLength = 0;
    };
    std::vector<Level> levels;
    std::string name = fullName, text;
    const auto write = [&](const RegKey& key) {
        text.assign("[").append(name).append("]");
        if (!Line(text)) return false;
        for (const NamedValue& value : key.Values()) {
            ValueText(text, value);
            if (!Line(text)) return false;
        }
        levels.push_back({key.Subkeys(), 0, name.size()});
        return Line("");
    };
    if (!write(top)) return false;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.subkeys.size()) {
            levels.pop_back();
            continue;
        }
        const RegKey* sub = level.subkeys[level.next++];
        name.resize(level.nameLength);
        name.append("\\").append(sub->Name());
        if (!write(*sub)) return false;
    }
    return m_ok;
}

bool RegFileWriter::Finish() { return Flush(); }

std::string ExportRegFile(const std::vector<RegExportItem>& items) {
    std::string file;
    RegFileWriter writer([&file](std::string_view bytes) {
        file.append(bytes);
        return true;
    });
    for (const RegExportItem& item : items) writer.Key(item.fullName, *item.key);
    writer.Finish();
    return file;
}

}  // namespace brisko
