// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers as the program shows them: "general" form, plain digits, no thousands
// separator, a decimal part only when there is one, no trailing zeros, and the
// user's decimal separator.
#include <cstdint>
#include <string>

namespace brisko {

std::string FormatGeneral(double value, const std::string& decimalSeparator);
std::string FormatGeneral(std::int64_t value);

// whole(x): the largest integer not greater than x.
std::int64_t Whole(double value);
// whole(a / b) for b > 0, exact for any counter value.
std::int64_t WholeDiv(std::int64_t a, std::int64_t b);

}  // namespace brisko
