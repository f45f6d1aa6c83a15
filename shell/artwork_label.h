// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture drawn by the program, kept sharp: it is drawn at the device pixel ratio of
// the screen it shows on, and drawn again when the window moves to a screen of another.
#include <QLabel>
#include <functional>

namespace brisko {

class ArtworkLabel final : public QLabel {
public:
    // draw: the picture at size (device-independent pixels) for a device pixel ratio.
    using Draw = std::function<QPixmap(QSize size, qreal devicePixelRatio)>;
    ArtworkLabel(QSize size, Draw draw, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Redraw();

    QSize m_size;
    Draw m_draw;
};

// An empty picture of size (device-independent) for devicePixelRatio, filled with
// background; a painter on it draws in device-independent pixels.
QPixmap NewArtwork(QSize size, qreal devicePixelRatio, const QColor& background);

}  // namespace brisko
