// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/number_format.h"

#include <charconv>
#include <cmath>

namespace brisko {

std::string FormatGeneral(double value, const std::string& decimalSeparator) {
    if (value == 0 || !std::isfinite(value)) return "0";
    // Fifteen significant digits, as the classic general format shows a double;
    // to_chars ignores the C locale, so the separator is ours to choose.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    std::string out;
    for (char c : text) {
        if (c == '.')
            out += decimalSeparator;
        else if (c == 'e')
            out += 'E';
        else
            out += c;
    }
    return out;
}

std::string FormatGeneral(std::int64_t value) { return std::to_string(value); }

std::int64_t Whole(double value) { return static_cast<std::int64_t>(std::floor(value)); }

std::int64_t WholeDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace brisko
