// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The colours of the parts Brisko paints itself (the lavender clients, the light button
// faces): their texts, fields and marks are those of the light palette they were drawn
// for, whatever palette the desktop has, so a dark desktop leaves them readable. Menus,
// dialogs and tool tips are not inside them and keep the desktop's palette.
#include <QColor>
#include <QPalette>

class QWidget;

namespace brisko {

// The light palette with `background` as the window colour.
QPalette ProductPalette(const QColor& background);

// Gives client, and every control inside it that sets none of its own, the product's
// palette on `background` (which it fills itself with).
void UseProductPalette(QWidget* client, const QColor& background);

// The caption colours of a control that paints its own light face on whatever client.
void UseProductButtonText(QWidget* button);

// The contrast of two colours as WCAG reckons it: 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// `design` as drawn on a light background; on a dark one, lightened (hue kept) until it
// stands out from it by at least `ratio`.
QColor ReadableOn(const QColor& design, const QColor& background, double ratio);

// A label's text in `design` (the red of a warning, say), readable on the background the
// desktop gives the label, and kept so when the desktop's palette changes.
void SetAccentText(QWidget* label, const QColor& design);

}  // namespace brisko
