// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Brisko's pictures, drawn by the program rather than shipped as image files, at the
// device pixel ratio they are shown at (shell/artwork_label.h keeps them so).
#include <QColor>
#include <QPixmap>
#include <QSize>

namespace brisko {

inline const QColor kWindowColour(192, 192, 255);

// size in device-independent pixels; the picture has size x devicePixelRatio pixels.
// "Brisko" in red script lettering on the given background.
QPixmap DrawLogo(QSize size, const QColor& background, qreal devicePixelRatio = 1);
// A speedometer with its needle near the top of the scale.
QPixmap DrawSpeedometer(QSize size, const QColor& background, qreal devicePixelRatio = 1);

}  // namespace brisko
