// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Brisko's pictures, drawn at start-up rather than shipped as image files.
#include <QColor>
#include <QPixmap>
#include <QSize>

namespace brisko {

inline const QColor kWindowColour(192, 192, 255);

// "Brisko" in red script lettering on the given background.
QPixmap DrawLogo(QSize size, const QColor& background);
// A speedometer with its needle near the top of the scale.
QPixmap DrawSpeedometer(QSize size, const QColor& background);

}  // namespace brisko
