// SPDX-License-Identifier: GPL-3.0-or-later
// Every window under a dark desktop palette: the texts on the program's own colours stay
// readable, and the charts take the desktop's colours, again when it changes.
#include <QAbstractAxis>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QXYSeries>
#include <optional>

#include "shell/gradient_button.h"
#include "shell/product_palette.h"
#include "tests/app/every_window_fixture.h"

namespace brisko::test {
namespace {

// About what a dark desktop theme gives.
QPalette DarkDesktop() {
    QPalette dark(QColor(0x31, 0x36, 0x3b), QColor(0x31, 0x36, 0x3b));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    return dark;
}

class DarkPalette : public EveryWindowFixture {
protected:
    void SetUp() override {
        EveryWindowFixture::SetUp();
        QApplication::setPalette(DarkDesktop());
        history.Append({0, {}, DataTestRecord{"h/4MB.bin", 4 << 20, 3.5, 1190, 1300, 900, {1200}}});
        history.Append({0, {}, BoostRecord{"boost", {"web.reg"}, {}, {}, {}}});
        history.Append({0, {}, WebTestRecord{"ie", "http://www.example.com", 0.62}});
    }
    void TearDown() override {
        EveryWindowFixture::TearDown();
        QApplication::setPalette(m_desktop);
    }
    const QPalette m_desktop = QApplication::palette();
};

// What a text is drawn on: the first of the widget and its parents that paints a background.
QColor Behind(const QWidget* widget) {
    while (!widget->isWindow() && !widget->autoFillBackground()) widget = widget->parentWidget();
    return widget->palette().color(QPalette::Window);
}

struct Drawn {
    QColor text, background;
};

// The colours a control's text is painted in and on; nothing for one without text.
std::optional<Drawn> TextOf(QWidget* w) {
    const QPalette& p = w->palette();
    if (auto* button = qobject_cast<GradientButton*>(w)) {
        // Its face, halfway down beside the caption.
        const QImage face = button->grab().toImage();
        return Drawn{p.color(QPalette::ButtonText), face.pixelColor(3, face.height() / 2)};
    }
    if (qobject_cast<QPushButton*>(w)) return Drawn{p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    if (qobject_cast<QLineEdit*>(w)) return Drawn{p.color(QPalette::Text), p.color(QPalette::Base)};
    const auto* label = qobject_cast<QLabel*>(w);
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w) || (label && !label->text().isEmpty()))
        return Drawn{p.color(QPalette::WindowText), Behind(w)};
    return std::nullopt;
}

TEST_F(DarkPalette, EveryTextStandsOutFromWhatItIsDrawnOn) {
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        FormWindow* window = windows.Show(name);
        if (auto* main = qobject_cast<brisko::main*>(window)) main->EnableBoostControls();
        if (QWidget* results = window->findChild<QWidget*>("picTestResults")) results->show();
        QApplication::processEvents();
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window) || !w->isEnabled()) continue;
            const std::optional<Drawn> drawn = TextOf(w);
            if (!drawn) continue;
            // The design's red on lavender has always stood at about 3.6:1.
            const double needed = drawn->text == QColor(200, 0, 0) ? 3.0 : 4.5;
            EXPECT_GE(ContrastRatio(drawn->text, drawn->background), needed)
                << w->metaObject()->className() << " " << w->objectName().toStdString() << ": "
                << drawn->text.name().toStdString() << " on " << drawn->background.name().toStdString();
        }
        if (window->objectName() != "main") windows.Unload(name);
    }
}

// The charts' background, texts and grid are the palette's, their lines stand out from
// it, and a new palette repaints them, back to the lines' own colours on a light one.
TEST_F(DarkPalette, ChartsFollowTheDesktopPalette) {
    const auto expectFollowing = [](QWidget* window, const QPalette& palette) {
        const QColor base = palette.color(QPalette::Base), text = palette.color(QPalette::Text);
        for (QChartView* view : window->findChildren<QChartView*>()) {
            SCOPED_TRACE(view->objectName().toStdString());
            QChart* chart = view->chart();
            EXPECT_EQ(chart->backgroundBrush().color(), base);
            EXPECT_EQ(chart->titleBrush().color(), text);
            EXPECT_EQ(chart->legend()->labelColor(), text);
            for (QAbstractAxis* axis : chart->axes()) EXPECT_EQ(axis->labelsColor(), text);
            ASSERT_FALSE(chart->series().isEmpty());
            for (QAbstractSeries* s : chart->series()) {
                auto* area = qobject_cast<QAreaSeries*>(s);
                const QColor colour = area ? area->borderColor() : qobject_cast<QXYSeries*>(s)->color();
                if (base.lightness() < 128) EXPECT_GE(ContrastRatio(colour, base), 3.0) << s->name().toStdString();
                if (base.lightness() >= 128) EXPECT_EQ(colour, s->property("designColour").value<QColor>());
            }
        }
    };
    // The change reaches the windows by posted events.
    const auto use = [](const QPalette& palette) {
        QApplication::setPalette(palette);
        QApplication::processEvents();
    };
    for (const char* name : {"history", "quality"}) {
        SCOPED_TRACE(name);
        FormWindow* window = windows.Show(name);
        QApplication::processEvents();
        expectFollowing(window, DarkDesktop());
        use(m_desktop);
        expectFollowing(window, m_desktop);
        use(DarkDesktop());
        expectFollowing(window, DarkDesktop());
    }
}

}  // namespace
}  // namespace brisko::test
