// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/accessible_text.h"

#include <QLabel>

namespace {
constexpr const char* kCaption = "figureCaption";
}

namespace brisko {

QString WithMnemonic(const QString& caption, QChar letter) {
    if (caption.contains('&')) return caption;
    qsizetype at = -1;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i].toLower() != letter.toLower()) continue;
        if (i == 0 || !caption[i - 1].isLetterOrNumber()) {
            at = i;
            break;
        }
        if (at < 0) at = i;
    }
    if (at < 0) return caption;
    QString marked = caption;
    marked.insert(at, '&');
    return marked;
}

QString ShownCaption(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

void MarkFigure(QLabel* label, const QString& caption) {
    label->setProperty(kCaption, caption);
    ShowFigure(label, label->text());
}

void ShowFigure(QLabel* label, const QString& figure) {
    label->setText(figure);
    const QString caption = label->property(kCaption).toString();
    if (!caption.isEmpty()) label->setAccessibleName(figure.isEmpty() ? caption : caption + ": " + figure);
}

}  // namespace brisko
