// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts follow the desktop's font size. The windows were laid out on a desktop whose
// font was 9 pt; their point sizes are kept in those terms and scaled by the desktop's
// size over it, and windows with controls at fixed places grow by as much (never less
// than designed) so that the larger texts still fit.
#include <QFont>
#include <QRect>
#include <QSize>

namespace brisko {

inline constexpr double kDesignDesktopPoints = 9;

// The desktop's font size over the design's (1 when it cannot be told).
double DesktopFontScale();
// A design point size at the desktop's font size.
double DesktopPoints(double designPoints);
QFont DesktopFont(const QString& family, double designPoints, bool bold = false);

// Places and sizes of fixed layouts: design pixels grown with the font, never shrunk.
double LayoutScale();
int Scaled(int designPixels);
QSize Scaled(QSize designSize);
// Edges scaled outwards to whole pixels: never less room than the scale gives.
QRect Scaled(const QRect& designRect);

}  // namespace brisko
