// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the windows' charts share: line colours that tell lines apart, axis numbers
// written out ("4000000", never "4e+06"), long legend names shortened in the middle
// with the whole name shown on hover, the colours of the window's palette and texts at
// the desktop's font size.
#include <QColor>
#include <QString>

class QAbstractSeries;
class QChart;
class QPalette;
class QValueAxis;

namespace brisko {

// Distinct for the first seven, none of them the red, green or purple of the boost marks.
QColor SeriesColour(int index);

// Labels with as many decimals as the ticks' spacing needs; call once the range is set.
void SetPlainLabels(QValueAxis* axis);

// Shows fullName in the legend, shortened in the middle to fit widthPx (design pixels,
// grown with the desktop's font as the legend's text is), and whole in a
// tool tip over its legend entry; the series keeps it as its "fullName" property.
// Call after the series has been added to chart.
void NameInLegend(QChart* chart, QAbstractSeries* series, const QString& fullName, int widthPx = 220);

// The chart's background, texts and grid in the palette's colours (dark or light),
// axes and legend included, and its lines kept apart from a dark background: call once
// the axes and series are in place, and again when the palette changes.
void FollowPalette(QChart* chart, const QPalette& palette);

// Title, legend and axis texts in point sizes relative to the desktop's font (a chart's
// own are fixed): call once the axes are in place, and before NameInLegend.
void FollowDesktopFont(QChart* chart);

}  // namespace brisko
