// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/product_palette.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace brisko {

namespace {

struct RoleColours {
    QPalette::ColorRole role;
    QRgb normal;    // active and inactive
    QRgb disabled;
};

// The light palette of Qt's Fusion style, which the windows were laid out and coloured on.
constexpr RoleColours kLight[] = {
    {QPalette::WindowText, 0xff000000, 0xffbebebe},      {QPalette::Button, 0xffefefef, 0xffefefef},
    {QPalette::Light, 0xffffffff, 0xffffffff},           {QPalette::Midlight, 0xffcacaca, 0xffcacaca},
    {QPalette::Dark, 0xff9f9f9f, 0xffbebebe},            {QPalette::Mid, 0xffb8b8b8, 0xffb8b8b8},
    {QPalette::Text, 0xff000000, 0xffbebebe},            {QPalette::BrightText, 0xffffffff, 0xffffffff},
    {QPalette::ButtonText, 0xff000000, 0xffbebebe},      {QPalette::Base, 0xffffffff, 0xffefefef},
    {QPalette::Shadow, 0xff767676, 0xffb1b1b1},          {QPalette::Highlight, 0xff308cc6, 0xff919191},
    {QPalette::HighlightedText, 0xffffffff, 0xffffffff}, {QPalette::Link, 0xff0000ff, 0xff0000ff},
    {QPalette::LinkVisited, 0xffff00ff, 0xffff00ff},     {QPalette::AlternateBase, 0xfff7f7f7, 0xfff7f7f7},
    {QPalette::PlaceholderText, 0x80000000, 0x80000000},
};

constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

double Luminance(const QColor& c) {
    const auto linear = [](float v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

bool IsDark(const QColor& background) {
    // Darker than the middle grey where black and white stand out from it equally.
    return Luminance(background) < 0.179;
}

}  // namespace

QPalette ProductPalette(const QColor& background) {
    QPalette palette;
    for (const RoleColours& r : kLight)
        for (QPalette::ColorGroup group : kGroups)
            palette.setColor(group, r.role, QColor::fromRgba(group == QPalette::Disabled ? r.disabled : r.normal));
    for (QPalette::ColorGroup group : kGroups) palette.setColor(group, QPalette::Window, background);
    return palette;
}

void UseProductPalette(QWidget* client, const QColor& background) {
    client->setAutoFillBackground(true);
    client->setPalette(ProductPalette(background));
}

void UseProductButtonText(QWidget* button) {
    QPalette palette;  // the caption only: the rest comes from where the button stands
    for (QPalette::ColorGroup group : kGroups)
        palette.setColor(group, QPalette::ButtonText, ProductPalette({}).color(group, QPalette::ButtonText));
    button->setPalette(palette);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& design, const QColor& background, double ratio) {
    if (!IsDark(background) || ContrastRatio(design, background) >= ratio) return design;
    QColor c = design.toHsl();
    float h, s, l, alpha;
    c.getHslF(&h, &s, &l, &alpha);
    while (ContrastRatio(c, background) < ratio && l < 1) {
        l = std::min(1.0f, l + 0.02f);
        c.setHslF(h, s, l, alpha);
    }
    return c.toRgb();
}

namespace {

class AccentText final : public QObject {
public:
    AccentText(QWidget* label, const QColor& design) : QObject(label), m_label(label), m_design(design) {
        label->installEventFilter(this);
        Follow();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) Follow();
        return false;
    }

private:
    void Follow() {
        const QColor wanted = ReadableOn(m_design, m_label->palette().color(QPalette::Window), 4.5);
        if (m_label->palette().color(QPalette::Active, QPalette::WindowText) == wanted) return;  // set already
        QPalette palette;  // the text only: the background stays the desktop's
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::WindowText, wanted);
        m_label->setPalette(palette);
    }

    QWidget* m_label;
    QColor m_design;
};

}  // namespace

void SetAccentText(QWidget* label, const QColor& design) { new AccentText(label, design); }

}  // namespace brisko
