// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base of every Brisko window: a top-level window without owner that tells its
// instance slot when it is unloaded (closed by code or by its title-bar button).
#include <QMainWindow>
#include <QPointer>

class QPushButton;
class QScreen;
class QScrollArea;

namespace brisko {

class FormWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit FormWindow(const QString& objectName, QWidget* parent = nullptr);

    // The button Return presses unless another push button has the focus.
    void SetDefaultButton(QPushButton* button);

    // Fixes the client at `width` (wider if its controls need it) and at the height its
    // wrapped texts take at that width (a size hint guesses it for some other width, and
    // paragraphs were cut short or spread apart), and the window at the client's size:
    // a window whose content cannot grow is not resizable either.
    void FixToClient(int width);

    // Puts the window, before it is first shown, centred over `over` (the screen when
    // null) and wholly inside the available part of `screen`; a client that cannot
    // shrink that far scrolls. Kept so once the window manager's frame is known and
    // whenever a fixed-size window resizes itself.
    void PlaceOnScreen(QWidget* over, QScreen* screen);
    bool Placed() const { return m_placed; }

signals:
    void Unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Return and Enter that no control took for itself (a check box, a one-line text
    // box, ...) press the focused push button, else the default button, as Windows does.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Fit(bool centre);
    void Reframe();
    QMargins FrameMargins() const;
    QSize WantedSize() const;
    void ScrollClient();

    QPointer<QPushButton> m_defaultButton;
    QPointer<QWidget> m_over;
    QPointer<QScreen> m_screen;
    QScrollArea* m_scroll = nullptr;
    QSize m_wanted;         // the whole client's size, once it scrolls
    bool m_fixed = false;   // not resizable, once it scrolls
    bool m_placed = false;
    bool m_framed = false;  // placed again with the window manager's real frame
    bool m_fitting = false;
};

}  // namespace brisko
