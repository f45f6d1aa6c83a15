// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Speeds in the unit brisko-cli was asked for: KB/s as the windows show them (1 KB =
// 1024 bytes), or Mbit/s as speed tests elsewhere do (1 Mbit = 10^6 bits).
#include <string>

#include "cli/cli_arguments.h"

namespace brisko::cli {

double KbToMbit(double kbPerSecond);
double MbitToKb(double mbitPerSecond);

// Three figures or so, no trailing zeros: 0.214, 26.3, 262.
std::string ThreeFigures(double value, const std::string& decimalPoint);

// "1194 KB/s" (whole, as the windows show them) or "9.78 Mbit/s"; withUnit false
// leaves the unit out.
std::string KbSpeedText(double kbPerSecond, SpeedUnit unit, const std::string& decimalPoint, bool withUnit = true);
std::string MbitSpeedText(double mbitPerSecond, SpeedUnit unit, const std::string& decimalPoint,
                          bool withUnit = true);

// A window's text that ends in a whole "N KB/s" ("Speed - 1194 KB/s"), that speed in
// unit; any other text as it is.
std::string WindowTextIn(const std::string& text, SpeedUnit unit, const std::string& decimalPoint);

}  // namespace brisko::cli
