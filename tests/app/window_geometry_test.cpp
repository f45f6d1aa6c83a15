// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the program, as it opens from the main window on this screen.
#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <map>

#include "history/history_window.h"
#include "quality/quality_window.h"
#include "platform/posix/paths_posix.h"
#include "restart/restart_windows.h"
#include "shell/gradient_button.h"
#include "shell/accessible_text.h"
#include "speedtest/data_window.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_browser_engine.h"
#include "tests/support/fake_network.h"
#include "webtest/web_test_window.h"
#include "tests/app/every_window_fixture.h"

namespace brisko::test {
namespace {

class WindowGeometry : public EveryWindowFixture {};

// Each window opens inside the screen's available part, centred over the main window as
// far as the screen allows, scrolling only if it cannot be made to fit, and resizable
// only if its client is; every control lies inside the one that holds it and every
// picture is drawn inside its edges, at the screen's pixel ratio.
TEST_F(WindowGeometry, EveryWindowOpensWholeOnTheScreen) {
    FormWindow* main = windows.Show("main");
    const QRect room = main->screen()->availableGeometry();
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        main->activateWindow();
        QApplication::processEvents();
        FormWindow* window = windows.Show(name);
        QApplication::processEvents();
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(room.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                                          << frame.height();
        if (window != main) {
            const QPoint off = frame.center() - main->frameGeometry().center();
            EXPECT_TRUE(std::abs(off.x()) <= 1 || frame.left() == room.left() || frame.right() == room.right());
            EXPECT_TRUE(std::abs(off.y()) <= 1 || frame.top() == room.top() || frame.bottom() == room.bottom());
        }
        const auto* scroll = window->findChild<QScrollArea*>("scroll", Qt::FindDirectChildrenOnly);
        if (scroll) EXPECT_TRUE(frame.width() == room.width() || frame.height() == room.height());
        const auto fixed = [](const QWidget* w) { return w->minimumSize() == w->maximumSize(); };
        EXPECT_EQ(fixed(window), fixed(scroll ? scroll->widget() : window->centralWidget()));
        for (QWidget* child : window->findChildren<QWidget*>()) {
            QWidget* parent = child->parentWidget();
            if (child->isWindow() || !child->isVisibleTo(window) || (scroll && parent == scroll->viewport()))
                continue;
            EXPECT_TRUE(parent->rect().contains(child->geometry()))
                << child->metaObject()->className() << " " << child->objectName().toStdString();
        }
        for (QLabel* label : window->findChildren<QLabel*>()) {
            // Drawn for the screen's pixels, not scaled up from fewer (blurred at twice the scale).
            if (!label->pixmap().isNull()) {
                EXPECT_EQ(label->pixmap().devicePixelRatio(), label->devicePixelRatioF())
                    << label->objectName().toStdString();
            }
            const QImage image = label->pixmap().toImage();
            const QRect inside = image.rect().adjusted(1, 1, -1, -1);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (!inside.contains(x, y))
                        ASSERT_EQ(image.pixel(x, y), image.pixel(0, 0))
                            << label->objectName().toStdString() << " at " << x << "," << y << " of " << image.width()
                            << "x" << image.height();
        }
        if (window != main) windows.Unload(name);
    }
}

// Every text shows whole at the desktop's font size, and no text keeps a size of its own
// below it: a label as wide as its line or as tall as its wrapped lines, a button's caption
// inside its face, an option's caption beside its mark.
TEST_F(WindowGeometry, EveryTextFitsItsControlAtTheDesktopsFontSize) {
    const double desktop = QFontInfo(QApplication::font()).pointSizeF();
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        FormWindow* window = windows.Show(name);
        QApplication::processEvents();
        for (QWidget* w : window->findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(w);
            auto* button = qobject_cast<QAbstractButton*>(w);
            const QString text = label ? label->text() : button ? ShownCaption(button->text()) : QString();
            if (text.isEmpty() || !w->isVisibleTo(window)) continue;
            SCOPED_TRACE(w->objectName().toStdString() + " \"" + text.left(40).toStdString() + "\"");
            // The data test's headings shrink a little where a stand-in font is wider.
            EXPECT_GE(QFontInfo(w->font()).pointSizeF(), 0.75 * desktop);
            if (label && label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height());
            } else if (label) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width());
                EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height());
            } else if (qobject_cast<GradientButton*>(w)) {
                const QRect face = w->rect().adjusted(4, 2, -4, -2);
                const QRect drawn = w->fontMetrics().boundingRect(face, Qt::AlignCenter | Qt::TextWordWrap, text);
                EXPECT_TRUE(face.contains(drawn)) << drawn.width() << "x" << drawn.height() << " in " << face.width()
                                                  << "x" << face.height();
            } else {
                EXPECT_LE(w->sizeHint().width(), w->width());
                EXPECT_LE(w->sizeHint().height(), w->height());
            }
        }
        if (std::string(name) != "main") windows.Unload(name);
    }
}

// Every menu, menu entry, button and text box's caption has a key of its own: Alt and a
// letter of the caption, none taken twice in a window's controls and menu titles or in a
// menu's entries.
TEST_F(WindowGeometry, EveryCaptionHasAKeyOfItsOwn) {
    const auto key = [](const QString& caption) {
        const qsizetype at = caption.indexOf(QRegularExpression("&[^&]"));
        return at < 0 ? QChar() : caption[at + 1].toUpper();
    };
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        FormWindow* window = windows.Show(name);
        std::map<QChar, QStringList> taken;
        const auto take = [&](std::map<QChar, QStringList>& keys, const QString& caption) {
            if (caption.isEmpty()) return;
            EXPECT_FALSE(key(caption).isNull()) << caption.toStdString();
            keys[key(caption)] << caption;
        };
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (!button->text().isEmpty()) take(taken, button->text());
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy()) take(taken, label->text());
        for (QMenu* menu : window->findChildren<QMenu*>()) {
            take(taken, menu->title());
            std::map<QChar, QStringList> entries;
            for (QAction* entry : menu->actions())
                if (!entry->isSeparator()) take(entries, entry->text());
            for (const auto& [letter, captions] : entries)
                EXPECT_EQ(captions.size(), 1) << captions.join(", ").toStdString();
        }
        for (const auto& [letter, captions] : taken)
            EXPECT_EQ(captions.size(), 1) << captions.join(", ").toStdString();
        if (std::string(name) != "main") windows.Unload(name);
    }
}

// The Network Quality window opens from the end of the Data Speed Tests menu, after the
// History window's entry.
TEST_F(WindowGeometry, NetworkQualityIsTheLastEntryOfTheDataSpeedTestsMenu) {
    FormWindow* main = windows.Show("main");
    const QList<QAction*> items = main->findChild<QMenu*>("mnuMore")->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(ShownCaption(items[items.size() - 2]->text()), "Results History");
    EXPECT_EQ(ShownCaption(items.back()->text()), "Network Quality");
    EXPECT_EQ(items.back()->objectName(), "mnuQuality");
    items.back()->trigger();
    ASSERT_TRUE(windows.IsLoaded("quality"));
    EXPECT_EQ(windows.Find("quality")->windowTitle(), "Network Quality");
}

}  // namespace
}  // namespace brisko::test
