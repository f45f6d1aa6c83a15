// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/artwork_label.h"

#include <cmath>

namespace brisko {

ArtworkLabel::ArtworkLabel(QSize size, Draw draw, QWidget* parent)
    : QLabel(parent), m_size(size), m_draw(std::move(draw)) {
    Redraw();  // for the screen the window is to open on
}

void ArtworkLabel::Redraw() { setPixmap(m_draw(m_size, devicePixelRatioF())); }

void ArtworkLabel::paintEvent(QPaintEvent* event) {
    // The ratio is known for certain only once the window is on its screen.
    if (pixmap().devicePixelRatio() != devicePixelRatioF()) Redraw();
    QLabel::paintEvent(event);
}

QPixmap NewArtwork(QSize size, qreal devicePixelRatio, const QColor& background) {
    QPixmap pix(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
    pix.setDevicePixelRatio(devicePixelRatio);
    pix.fill(background);
    return pix;
}

}  // namespace brisko
