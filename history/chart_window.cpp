// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/chart_window.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QAbstractSeries>
#include <QAreaSeries>
#include <QChart>
#include <QCursor>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QPalette>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "shell/desktop_font.h"
#include "shell/product_palette.h"

namespace brisko {

namespace {
// At the design's 9 pt desktop font.
constexpr double kChartTitlePoints = 9.75;
constexpr double kChartLabelPoints = 8.25;
}  // namespace

QColor SeriesColour(int index) {
    // Blue, orange, sky blue, grey, pink, brown, teal: apart for most eyes, colour-blind ones too.
    static const QColor colours[] = {QColor(0, 114, 178),   QColor(230, 159, 0),  QColor(86, 180, 233),
                                     QColor(110, 110, 110), QColor(204, 121, 167), QColor(140, 86, 75),
                                     QColor(23, 190, 207)};
    constexpr int count = static_cast<int>(std::size(colours));
    return colours[((index % count) + count) % count];
}

void SetPlainLabels(QValueAxis* axis) {
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    const int decimals = step > 0 && step < 1 ? std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6) : 0;
    axis->setLabelFormat(QString("%.%1f").arg(decimals));
}

void NameInLegend(QChart* chart, QAbstractSeries* series, const QString& fullName, int widthPx) {
    series->setProperty("fullName", fullName);
    const QString shown = QFontMetrics(chart->legend()->font()).elidedText(fullName, Qt::ElideMiddle, Scaled(widthPx));
    series->setName(shown);
    if (shown == fullName) return;
    for (QLegendMarker* marker : chart->legend()->markers(series))
        QObject::connect(marker, &QLegendMarker::hovered, marker, [fullName](bool over) {
            if (over)
                QToolTip::showText(QCursor::pos(), fullName);
            else
                QToolTip::hideText();
        });
}

void FollowPalette(QChart* chart, const QPalette& palette) {
    const QColor background = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    QColor grid = text;
    grid.setAlpha(50);
    chart->setBackgroundBrush(background);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setTitleBrush(text);
    chart->legend()->setLabelColor(text);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(text);
        axis->setGridLineColor(grid);
        axis->setMinorGridLineColor(grid);
    }
    // Lines and marks in their own colours, lightened where a dark background would swallow
    // them; the colour they were given is kept, for a light palette again.
    for (QAbstractSeries* series : chart->series()) {
        auto* area = qobject_cast<QAreaSeries*>(series);
        auto* xy = qobject_cast<QXYSeries*>(series);
        if (!area && !xy) continue;
        if (!series->property("designColour").isValid())
            series->setProperty("designColour", area ? area->borderColor() : xy->color());
        const QColor colour = ReadableOn(series->property("designColour").value<QColor>(), background, 3.0);
        if (area) {
            QColor fill = colour;
            fill.setAlpha(area->color().alpha());
            area->setColor(fill);
            area->setBorderColor(colour);
        } else {
            xy->setColor(colour);
            if (auto* scatter = qobject_cast<QScatterSeries*>(series)) scatter->setBorderColor(colour);
        }
    }
}

void FollowDesktopFont(QChart* chart) {
    const QString family = QApplication::font().family();
    chart->setTitleFont(DesktopFont(family, kChartTitlePoints));
    const QFont labels = DesktopFont(family, kChartLabelPoints);
    chart->legend()->setFont(labels);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(labels);
        axis->setTitleFont(DesktopFont(family, kChartLabelPoints, true));
    }
}

}  // namespace brisko
