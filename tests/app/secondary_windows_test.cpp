#include <QLabel>

#include <algorithm>

#include "shell/open_external_page.h"
#include "tests/app/app_fixture.h"

namespace brisko::test {
namespace {

using SecondaryWindowsTest = AppFixture;

QStringList Texts(QWidget* window) {
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts << label->text();
    return texts;
}

// Live Help opens a browser window at each click; About opens the single top tip and closes alone.
TEST_F(SecondaryWindowsTest, HelpAndAboutButtonsOpenTheirWindowsAndCloseTheirOwn) {
    QWidget* help = windows.Show("Help");
    auto* live = Child<QPushButton>(help, "btnLiveHelp");
    live->click();
    live->click();
    EXPECT_EQ(browser.windowsCreated, 2);
    EXPECT_EQ(browser.shownPages, (std::vector<std::string>(2, kProductSiteAddress)));
    Child<QPushButton>(help, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Help"));

    QWidget* tipFromMenu = windows.Show("toptip");
    QWidget* about = windows.Show("Formserial");
    Child<QPushButton>(about, "btnTopTip")->click();
    EXPECT_EQ(windows.Find("toptip"), tipFromMenu);  // no second copy
    Child<QPushButton>(about, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Formserial"));
    EXPECT_TRUE(windows.IsLoaded("toptip"));
    // The tip keeps its blank before the full stop.
    EXPECT_TRUE(Texts(tipFromMenu).contains("Simply move the two units apart a good few inches at least, (the further "
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
