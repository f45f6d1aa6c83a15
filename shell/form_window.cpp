// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/form_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "shell/placement.h"

namespace brisko {

namespace {

Box ToBox(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

QMargins FrameOf(const QWidget* window) {
    const QRect frame = window->frameGeometry(), client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

}  // namespace

FormWindow::FormWindow(const QString& objectName, QWidget* parent) : QMainWindow(parent) {
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
}

void FormWindow::SetDefaultButton(QPushButton* button) {
    if (m_defaultButton) m_defaultButton->setDefault(false);
    m_defaultButton = button;
    if (button) button->setDefault(true);
}

void FormWindow::FixToClient(int width) {
    QWidget* client = centralWidget();
    client->ensurePolished();
    width = std::max(width, client->minimumSizeHint().width());
    client->setFixedSize(width, client->hasHeightForWidth() ? client->heightForWidth(width) : client->height());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void FormWindow::PlaceOnScreen(QWidget* over, QScreen* screen) {
    m_over = over;
    m_screen = screen;
    m_placed = true;
    if (screen && screen != this->screen()) setScreen(screen);
    Fit(true);
}

void FormWindow::Fit(bool centre) {
    QScreen* screen = m_screen ? m_screen.data() : this->screen();
    if (!screen || m_fitting) return;
    m_fitting = true;
    ensurePolished();
    if (layout()) layout()->activate();
    if (!isVisible() && !testAttribute(Qt::WA_Resized)) adjustSize();  // as show() would

    const QMargins frame = FrameMargins();
    const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QRect room = screen->availableGeometry();
    QSize wanted = WantedSize() + extra;
    const QSize smallest = m_scroll ? QSize(0, 0) : minimumSize().expandedTo(minimumSizeHint()) + extra;
    const Box over = !centre ? ToBox(frameGeometry()) : m_over ? ToBox(m_over->frameGeometry()) : ToBox(room);
    Placement placement = PlaceFrame(over, centre, wanted.width(), wanted.height(), smallest.width(),
                                     smallest.height(), ToBox(room));
    const bool scroll = placement.scroll || m_scroll;
    if (scroll) {
        // Room for the scroll bar of each way that does not fit.
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        wanted += QSize(wanted.height() > room.height() ? bar : 0, wanted.width() > room.width() ? bar : 0);
        placement = PlaceFrame(over, centre, wanted.width(), wanted.height(), 0, 0, ToBox(room));
        if (!m_scroll) ScrollClient();
    }
    const QSize size = QSize(placement.frame.width, placement.frame.height) - extra;
    if (scroll && m_fixed) {
        setFixedSize(size);
    } else if (size != this->size()) {
        resize(size);
    }
    move(placement.frame.x, placement.frame.y);  // a top-level window's position is its frame's
    m_fitting = false;
}

QMargins FormWindow::FrameMargins() const {
    for (const QWidget* window : {static_cast<const QWidget*>(this), static_cast<const QWidget*>(m_over.data())}) {
        if (window && window->isVisible() && !FrameOf(window).isNull()) return FrameOf(window);
    }
    // Not framed yet: about what a window manager's borders and title bar take.
    const qreal ratio = (m_screen ? m_screen.data() : screen())->devicePixelRatio();
    return QMargins(4, 28, 4, 4) / ratio;
}

QSize FormWindow::WantedSize() const {
    if (!m_scroll) return size();
    const QWidget* client = m_scroll->widget();
    if (client->minimumSize() != client->maximumSize()) return m_wanted;
    return size() - m_scroll->size() + client->size();  // the chrome around it, a menu bar say
}

void FormWindow::ScrollClient() {
    m_fixed = minimumSize() == maximumSize();
    m_wanted = size();
    if (layout()) layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QWidget* client = takeCentralWidget();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("scroll");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(client);
    setCentralWidget(m_scroll);
}

void FormWindow::Reframe() {
    // Placed with a guessed frame: once the window manager has framed the window, again.
    if (m_placed && !m_framed && !m_fitting && isVisible() && !FrameOf(this).isNull()) {
        m_framed = true;
        Fit(true);
    }
}

void FormWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Reframe();
}

void FormWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    Reframe();
}

void FormWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_placed && !m_fitting && isVisible() && minimumSize() == maximumSize()) Fit(false);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit Unloaded();
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || modifiers != Qt::NoModifier) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    QPushButton* target = qobject_cast<QPushButton*>(focusWidget());
    if (!target) target = m_defaultButton;
    // A disabled default button swallows the key, as on Windows: nothing happens.
    if (target && target->isEnabled() && target->isVisible()) target->click();
    event->accept();
}

}  // namespace brisko
