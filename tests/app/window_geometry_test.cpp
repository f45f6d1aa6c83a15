// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the program, as it opens from the main window on this screen.
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>

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
                        ASSERT_EQ(image.pixel(x, y), image.pixel(0, 0)) << label->objectName().toStdString();
        }
        if (window != main) windows.Unload(name);
    }
}

// The Network Quality window opens from the end of the Data Speed Tests menu, after the
// History window's entry.
TEST_F(WindowGeometry, NetworkQualityIsTheLastEntryOfTheDataSpeedTestsMenu) {
    FormWindow* main = windows.Show("main");
    const QList<QAction*> items = main->findChild<QMenu*>("mnuMore")->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[items.size() - 2]->text(), "Results History");
    EXPECT_EQ(items.back()->text(), "Network Quality");
    EXPECT_EQ(items.back()->objectName(), "mnuQuality");
    items.back()->trigger();
    ASSERT_TRUE(windows.IsLoaded("quality"));
    EXPECT_EQ(windows.Find("quality")->windowTitle(), "Network Quality");
}

}  // namespace
}  // namespace brisko::test
