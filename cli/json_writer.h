#pragma once
// Writes one JSON text on a line: objects, arrays, strings, numbers. Strings are
// escaped so that any bytes give valid JSON.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisko::cli {

// text as a JSON string, quotes included. Valid UTF-8 passes through; control
// characters are escaped; bytes that are not UTF-8 are read as Latin-1 (the ANSI
// code page's first half) so the output stays valid.
std::string JsonString(std::string_view text);

// A finite number in the shortest form that reads back the same; null otherwise.
std::string JsonNumber(double value);

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Int(std::int64_t value);
    JsonWriter& Number(double value);
    JsonWriter& Bool(bool value);

    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();

    std::string m_text;
    std::vector<bool> m_first;  // per open container: nothing written in it yet
    bool m_afterKey = false;
};

}  // namespace brisko::cli
