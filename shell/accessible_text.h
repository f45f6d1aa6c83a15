// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What keyboard and screen-reader users get of texts that change while the program runs.
#include <QString>

class QLabel;

namespace brisko {

// caption with an '&' before `letter` (either case): where it starts a word if it does,
// else its first place. Unchanged when the caption lacks the letter or has a mnemonic.
QString WithMnemonic(const QString& caption, QChar letter);

// The caption as shown: mnemonic marks gone, "&&" shown as one '&'.
QString ShownCaption(const QString& caption);

// A figure shown on its own beside its caption: a screen reader reads the two as the
// label's name, kept so as ShowFigure changes the figure.
void MarkFigure(QLabel* label, const QString& caption);
void ShowFigure(QLabel* label, const QString& figure);

}  // namespace brisko
