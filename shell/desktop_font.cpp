// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/desktop_font.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace brisko {

double DesktopFontScale() {
    // QFontInfo: a desktop font given in pixels has no point size of its own.
    const double points = QFontInfo(QApplication::font()).pointSizeF();
    return points > 0 ? points / kDesignDesktopPoints : 1;
}

double DesktopPoints(double designPoints) { return designPoints * DesktopFontScale(); }

QFont DesktopFont(const QString& family, double designPoints, bool bold) {
    QFont font(family);
    font.setPointSizeF(DesktopPoints(designPoints));
    font.setBold(bold);
    return font;
}

double LayoutScale() {
    const double scale = DesktopFontScale();
    if (scale <= 1) return 1;
    // Hinted glyphs do not grow evenly with the point size: the texts' own growth, if more.
    const QString sample = "Boost Windows and your Browser for faster Internet performance.";
    const QFont designFont = DesktopFont("MS Sans Serif", 8.25 / scale), font = DesktopFont("MS Sans Serif", 8.25);
    // Lines as a label stacks them: in whole pixels.
    const QFontMetrics design(designFont), now(font);
    const double wider = QFontMetricsF(font).horizontalAdvance(sample) / QFontMetricsF(designFont).horizontalAdvance(sample);
    return std::max({scale, wider, static_cast<double>(now.lineSpacing()) / design.lineSpacing()});
}

int Scaled(int designPixels) { return static_cast<int>(std::lround(designPixels * LayoutScale())); }

QSize Scaled(QSize designSize) { return {Scaled(designSize.width()), Scaled(designSize.height())}; }

QRect Scaled(const QRect& r) {
    const double scale = LayoutScale();
    const auto down = [scale](int v) { return static_cast<int>(std::floor(v * scale)); };
    const auto up = [scale](int v) { return static_cast<int>(std::ceil(v * scale)); };
    const int left = down(r.x()), top = down(r.y());
    return {left, top, up(r.x() + r.width()) - left, up(r.y() + r.height()) - top};
}

}  // namespace brisko
