// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/ansi_text.h"

#include <algorithm>

namespace brisko {
namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when invalid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t* cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    }
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, value = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, value = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, value = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        value = (value << 6) | (b & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return length;
}

template <typename Emit>
void ForEachAnsiCodePoint(std::string_view ansi, Emit emit) {
    for (std::size_t i = 0; i < ansi.size();) {
        char32_t cp;
        const std::size_t n = DecodeUtf8(ansi, i, &cp);
        if (n == 0) {
            emit(static_cast<char32_t>(static_cast<unsigned char>(ansi[i])));
            ++i;
        } else {
            emit(cp);
            i += n;
        }
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    ForEachAnsiCodePoint(ansi, [&](char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    });
    return out;
}

void AppendUtf16Bytes(std::string& out, std::string_view ansi) {
    const std::size_t start = out.size();
    if (std::all_of(ansi.begin(), ansi.end(), [](char c) { return (c & 0x80) == 0; })) {
        out.resize(start + 2 * ansi.size());  // the usual case, written in one go
        char* to = out.data() + start;
        for (char c : ansi) {
            *to++ = c;
            *to++ = '\0';
        }
        return;
    }
    out.reserve(start + 2 * ansi.size());
    const auto unit = [&out](char32_t c) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    };
    ForEachAnsiCodePoint(ansi, [&](char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    });
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    ForEachAnsiCodePoint(ansi, [&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

bool IsWellFormedUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            ++i;
        } else if (IsHigh(text[i]) || IsLow(text[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> Utf16ToBytes(std::u16string_view text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

std::u16string BytesToUtf16(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    out.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    return out;
}

}  // namespace brisko
