// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLabel>

#include <algorithm>

#include "shell/open_external_page.h"
#include "tests/app/app_fixture.h"

namespace brisko::test {
namespace {

using SecondaryWindowsTest = AppFixture;

// The tip keeps its blank before the full stop.
TEST_F(SecondaryWindowsTest, TheTipKeepsItsWordsAsWritten) {
    QStringList texts;
    for (QLabel* label : windows.Show("toptip")->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains("Simply move the two units apart a good few inches at least, (the further "
                               "the better) and you will notice a dramatic improvement in data speeds ."));
}

// Every text shows whole in the fonts this desktop has: a paragraph is as tall as its
// width needs (not cut short, no gap below it), an address or telephone number stays on
// one line at its full width, and nothing lies outside the box that holds it.
TEST_F(SecondaryWindowsTest, EveryTextShowsWholeWithoutGaps) {
    const QString oneLiners[] = {kSalesEmail, kSupportEmail, kWebSiteText, kTelephone};
    for (const char* name : {"Help", "toptip", "Formserial"}) {
        QWidget* window = windows.Show(name);
        QApplication::processEvents();
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;  // artwork
            SCOPED_TRACE(std::string(name) + ": " + label->text().left(40).toStdString());
            const int line = label->fontMetrics().lineSpacing();
            if (label->wordWrap()) {
                const int need = label->heightForWidth(label->width());
                EXPECT_GE(label->height(), need);
                EXPECT_LT(label->height(), need + line);
            } else {
                EXPECT_GE(label->width(), label->sizeHint().width());
                EXPECT_GE(label->height(), label->sizeHint().height());
            }
            if (std::any_of(std::begin(oneLiners), std::end(oneLiners),
                            [&](const QString& tail) { return label->text().endsWith(tail); }))
                EXPECT_LT(label->height(), 2 * line);
            for (QWidget* w = label; w != window; w = w->parentWidget())
                EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << w->metaObject()->className();
        }
        windows.Unload(name);
    }
}

}  // namespace
}  // namespace brisko::test
