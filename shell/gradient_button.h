// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The push button of Brisko's windows: a caption on a vertical gradient.
#include <QPushButton>

namespace brisko {

class GradientButton : public QPushButton {
    Q_OBJECT
public:
    GradientButton(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
    void SetRedText(bool red);
    // As narrow as its longest word: the caption wraps.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_redText = false;
};

}  // namespace brisko
