// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/web_test_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "webtest/web_test_texts.h"

namespace brisko {

void ProgressBarModel::SetMax(long long newMax) {
    if (newMax <= min) return;
    max = static_cast<int>(std::min<long long>(newMax, std::numeric_limits<int>::max()));
    value = std::clamp(value, min, max);
}

void ProgressBarModel::SetValue(long long newValue) {
    value = static_cast<int>(std::clamp<long long>(newValue, min, max));
}

double LeadingNumber(const std::string& text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') s += c;
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) number += s[i++], digits = true;
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) number += s[i++], digits = true;
    }
    if (!digits) return 0.0;
    if (i + 1 < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (s[j] == '+' || s[j] == '-') exponent += s[j++];
        const size_t start = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) exponent += s[j++];
        if (j > start) number += exponent;
    }
    if (number[0] == '+') number.erase(0, 1);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return value;
}

int RoundToInt(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // default rounding: halves to even
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

bool ItemsRemainingRule::Apply(const std::string& statusText, ProgressBarModel& bar) {
    if (statusText.find(" items remaining)") == std::string::npos) return false;
    // The number sits between the opening parenthesis and the first blank.
    const size_t space = statusText.find(' ');
    const std::string number = statusText.size() > 1 ? statusText.substr(1, space) : std::string();
    const int count = RoundToInt(LeadingNumber(number));
    if (m_itemsRemaining == 0) {
        m_itemsRemaining = count;
        bar.SetMax(count);
    } else {
        m_itemsRemaining = count;
    }
    bar.SetValue(static_cast<long long>(bar.max) - m_itemsRemaining + 1);
    return true;
}

bool TransferRule::Apply(const std::string& statusText, ProgressBarModel& bar) {
    if (statusText.find("Transferring") == std::string::npos) return false;
    if (m_transferCount < std::numeric_limits<int>::max()) ++m_transferCount;
    if (bar.max > m_transferCount) bar.SetValue(m_transferCount);
    return true;
}

int CountImageTags(const std::string& html) {
    int count = 0;
    for (size_t i = 0; i + 4 <= html.size(); ++i) {
        if (html[i] == '<' && (html[i + 1] | 0x20) == 'i' && (html[i + 2] | 0x20) == 'm' &&
            (html[i + 3] | 0x20) == 'g') {
            ++count;
            i += 3;
        }
    }
    return count;
}

void ApplyImageCount(int imageCount, ProgressBarModel& bar) {
    if (imageCount > 0) bar.SetMax(imageCount);
    bar.SetValue(0);
}

void ApplyNavigateComplete(ProgressBarModel& bar) { bar.SetValue(bar.min); }

std::string FormatSingle(float value, const std::string& decimalPoint) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    std::string text(buffer, result.ptr);
    // Exponent as the classic conversion writes it: "1.234568E+07", "1E-05".
    if (const size_t e = text.find('e'); e != std::string::npos) {
        text[e] = 'E';
        std::string digits = text.substr(e + 2);
        while (digits.size() < 2) digits = "0" + digits;
        text = text.substr(0, e + 2) + digits;
    }
    if (const size_t dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, decimalPoint);
    return text;
}

std::string LoadTimeMessage(float seconds, bool finalPeriod, const std::string& decimalPoint) {
    return "This page took " + FormatSingle(seconds, decimalPoint) + (finalPeriod ? " seconds to load." : " seconds to load");
}

std::string ConnectionErrorMessage(const Status& error) {
    return std::string(webtext::kConnectionErrorPrefix) + std::to_string(error.code) + " " + error.text;
}

}  // namespace brisko
