#include <QGroupBox>
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

TEST_F(SecondaryWindowsTest, HelpShowsItsTextsAndOpensLiveHelp) {
    QWidget* help = windows.Show("Help");
    EXPECT_EQ(help->windowTitle(), "Help");
    const QStringList texts = Texts(help);
    EXPECT_TRUE(texts.contains("I need more Help..."));
    EXPECT_TRUE(texts.contains(QString("Support Email: ") + kSupportEmail));
    auto* live = Child<QPushButton>(help, "btnLiveHelp");
    EXPECT_EQ(live->text(), "&Live Help");
    EXPECT_EQ(live->toolTip(), "Go to the Live Online Chat Help and Support on the Brisko Web site.");

    live->click();
    live->click();  // two separate browser windows
    EXPECT_EQ(browser.windowsCreated, 2);
    EXPECT_EQ(browser.shownPages, (std::vector<std::string>(2, kProductSiteAddress)));
    EXPECT_TRUE(windows.IsLoaded("Help"));

    Child<QPushButton>(help, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Help"));
}

TEST_F(SecondaryWindowsTest, TopTipKeepsItsBlankBeforeTheFullStop) {
    QWidget* tip = windows.Show("toptip");
    EXPECT_EQ(tip->windowTitle(), "Top Tip");
    EXPECT_TRUE(Texts(tip).contains("Simply move the two units apart a good few inches at least, (the further "
                                    "the better) and you will notice a dramatic improvement in data speeds ."));
    EXPECT_EQ(tip->findChild<QGroupBox*>()->title(), "A Top Tip to Get Faster Internet Speed");
}

TEST_F(SecondaryWindowsTest, AboutOpensTheSingleTopTipAndClosesAlone) {
    QWidget* tipFromMenu = windows.Show("toptip");
    QWidget* about = windows.Show("Formserial");
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_TRUE(Texts(about).contains("Version 3.3"));
    EXPECT_EQ(Child<QPushButton>(about, "btnTopTip")->text(), "Top Tip");

    Child<QPushButton>(about, "btnTopTip")->click();
    EXPECT_EQ(windows.Find("toptip"), tipFromMenu);  // no second copy

    Child<QPushButton>(about, "btnClose")->click();
    EXPECT_FALSE(windows.IsLoaded("Formserial"));
    EXPECT_TRUE(windows.IsLoaded("toptip"));
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
