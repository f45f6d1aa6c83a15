// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: a broken property aborts with both sides shown, so
// libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace brisko::fuzz {

// Bytes as a C string literal would write them, cut after max bytes.
inline std::string Escaped(std::string_view bytes, std::size_t max = 400) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += kDigits[c >> 4];
            out += kDigits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    if (bytes.size() > max) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "\nProperty broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace brisko::fuzz
