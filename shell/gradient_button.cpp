// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/gradient_button.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionButton>
#include <algorithm>

#include "shell/accessible_text.h"
#include "shell/product_palette.h"

namespace brisko {

GradientButton::GradientButton(const QString& objectName, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setObjectName(objectName);
    setCursor(Qt::PointingHandCursor);
    // Its face is light on any desktop, so its caption is dark on any.
    UseProductButtonText(this);
    // Narrower than its one-line caption if need be (a push button's size hint is its minimum).
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

void GradientButton::SetRedText(bool red) {
    m_redText = red;
    update();
}

QSize GradientButton::minimumSizeHint() const {
    int widest = 0;
    for (const QString& word : ShownCaption(text()).split(' ', Qt::SkipEmptyParts))
        widest = std::max(widest, fontMetrics().horizontalAdvance(word));
    // The margins the caption is drawn within, and a little air.
    return {widest + 16, QPushButton::minimumSizeHint().height()};
}

void GradientButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (!isEnabled()) {
        g.setColorAt(0, QColor(236, 236, 240));
        g.setColorAt(1, QColor(206, 206, 214));
    } else if (isDown()) {
        g.setColorAt(0, QColor(176, 190, 230));
        g.setColorAt(1, QColor(228, 234, 252));
    } else {
        g.setColorAt(0, underMouse() ? QColor(255, 255, 255) : QColor(250, 250, 255));
        g.setColorAt(1, QColor(184, 198, 238));
    }
    p.setBrush(g);
    p.setPen(QPen(hasFocus() ? QColor(40, 60, 140) : QColor(110, 120, 160), hasFocus() ? 1.6 : 1.0));
    p.drawRoundedRect(r, 4, 4);

    QColor text = m_redText ? QColor(200, 0, 0) : palette().color(QPalette::ButtonText);
    if (!isEnabled()) text = palette().color(QPalette::Disabled, QPalette::ButtonText);
    p.setPen(text);
    p.setFont(font());
    p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
               this->text());
}

}  // namespace brisko
