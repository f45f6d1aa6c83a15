// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/speed_unit.h"

#include <cmath>
#include <cstdint>

#include "speedtest/number_format.h"

namespace brisko::cli {

namespace {

constexpr double kBitsPerKb = 1024 * 8;

const char* UnitText(SpeedUnit unit) { return unit == SpeedUnit::Kb ? " KB/s" : " Mbit/s"; }

}  // namespace

// The integer KB/s of a data test stays exact this way: 1194 gives 9.781248, not 9.781247999.
double KbToMbit(double kbPerSecond) { return kbPerSecond * kBitsPerKb / 1e6; }

double MbitToKb(double mbitPerSecond) { return mbitPerSecond * 1e6 / kBitsPerKb; }

std::string ThreeFigures(double value, const std::string& decimalPoint) {
    const double magnitude = std::fabs(value);
    const double places = magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : magnitude >= 1 ? 2 : 3;
    const double scale = std::pow(10.0, places);
    return FormatGeneral(std::round(value * scale) / scale, decimalPoint);
}

std::string KbSpeedText(double kbPerSecond, SpeedUnit unit, const std::string& decimalPoint, bool withUnit) {
    const std::string number = unit == SpeedUnit::Kb ? FormatGeneral(static_cast<std::int64_t>(std::llround(kbPerSecond)))
                                                     : ThreeFigures(KbToMbit(kbPerSecond), decimalPoint);
    return withUnit ? number + UnitText(unit) : number;
}

std::string MbitSpeedText(double mbitPerSecond, SpeedUnit unit, const std::string& decimalPoint, bool withUnit) {
    if (unit == SpeedUnit::Kb) return KbSpeedText(MbitToKb(mbitPerSecond), unit, decimalPoint, withUnit);
    const std::string number = ThreeFigures(mbitPerSecond, decimalPoint);
    return withUnit ? number + UnitText(unit) : number;
}

std::string WindowTextIn(const std::string& text, SpeedUnit unit, const std::string& decimalPoint) {
    static const std::string kUnit = " KB/s";
    if (unit == SpeedUnit::Kb || text.size() <= kUnit.size() ||
        text.compare(text.size() - kUnit.size(), kUnit.size(), kUnit) != 0)
        return text;
    const std::size_t end = text.size() - kUnit.size();
    std::size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    if (start == end) return text;
    const double kb = std::stod(text.substr(start, end - start));
    return text.substr(0, start) + KbSpeedText(kb, unit, decimalPoint);
}

}  // namespace brisko::cli
