// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include "shell/artwork_label.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace brisko {

QPixmap DrawLogo(QSize size, const QColor& background, qreal devicePixelRatio) {
    QPixmap pix = NewArtwork(size, devicePixelRatio, background);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font;
    font.setFamilies({"Z003", "URW Chancery L", "P052", "DejaVu Serif"});
    font.setItalic(true);
    font.setBold(true);
    // As large as the picture holds, its shadow included: faces and their hinting differ.
    const QRect inside(1, 1, size.width() - 3, size.height() - 3);
    for (int pixels = size.height() - 4; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        // Where a centred line puts the letters' ink.
        const QRect ink = metrics.boundingRect("Brisko").translated(
            (size.width() - metrics.horizontalAdvance("Brisko")) / 2,
            (size.height() - metrics.height()) / 2 + metrics.ascent());
        if (inside.contains(ink)) break;
    }
    p.setFont(font);
    const QRect box(0, 0, size.width(), size.height());
    // A soft dark-red shadow under bright red letters.
    p.setPen(QColor(120, 0, 0, 140));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, "Brisko");
    p.setPen(QColor(220, 0, 0));
    p.drawText(box, Qt::AlignCenter, "Brisko");
    return pix;
}

QPixmap DrawSpeedometer(QSize size, const QColor& background, qreal devicePixelRatio) {
    QPixmap pix = NewArtwork(size, devicePixelRatio, background);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    // The whole dial, its rim's pen too, inside the picture.
    const qreal side = qMin(size.width(), size.height()) - 8;
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal r = side / 2.0;

    QRadialGradient dial(centre, r);
    dial.setColorAt(0, QColor(255, 255, 255));
    dial.setColorAt(1, QColor(170, 180, 230));
    p.setBrush(dial);
    p.setPen(QPen(QColor(60, 60, 120), 2));
    p.drawEllipse(centre, r, r);

    // Scale from 225 degrees (slow) to -45 degrees (fast); the last third in red.
    for (int i = 0; i <= 10; ++i) {
        const qreal a = qDegreesToRadians(225.0 - i * 27.0);
        const QPointF dir(qCos(a), -qSin(a));
        p.setPen(QPen(i >= 7 ? QColor(210, 0, 0) : QColor(40, 40, 90), i % 5 == 0 ? 2.5 : 1.5));
        p.drawLine(centre + dir * (r * 0.72), centre + dir * (r * 0.9));
    }
    const qreal needle = qDegreesToRadians(225.0 - 8.6 * 27.0);
    p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(qCos(needle), -qSin(needle)) * (r * 0.8));
    p.setBrush(QColor(40, 40, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, r * 0.08, r * 0.08);
    return pix;
}

}  // namespace brisko
