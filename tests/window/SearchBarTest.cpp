// The search bar: typing, the status place, stepping with Return and
// Shift+Return, closing with Escape and with its button.

#include "PaneTestSupport.h"

#include "window/PaneControls.h"
#include "window/PaneLayout.h"
#include "window/SearchBar.h"

#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace folvan::window::test {

namespace {

class SearchBarTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        pane->resize(1200, 800);
        ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("bar.pdf"), 12, QStringLiteral("alpha beta"))));
        pane->controller()->findInPDF();
        bar = pane->paneLayout()->searchBar();
    }
    void type(const QString &text) { QTest::keyClicks(bar->field(), text); }

    SearchBar *bar = nullptr;
};

} // namespace

TEST_F(SearchBarTest, EmptyFieldShowsNoStatusAndDisablesStepping)
{
    EXPECT_EQ(bar->field()->placeholderText(), QStringLiteral("搜索正文…"));
    EXPECT_TRUE(bar->counter()->isHidden());
    EXPECT_TRUE(bar->progress()->isHidden());
    EXPECT_FALSE(bar->previousButton()->isEnabled());
    EXPECT_FALSE(bar->nextButton()->isEnabled());
    EXPECT_TRUE(bar->closeButton()->isEnabled());
    EXPECT_EQ(bar->previousButton()->accessibleName(), QStringLiteral("上一个搜索结果"));
    EXPECT_EQ(bar->nextButton()->accessibleName(), QStringLiteral("下一个搜索结果"));
    EXPECT_EQ(bar->closeButton()->toolTip(), QStringLiteral("关闭搜索（Esc）"));
    // Shift in the platform's form ("Shift+" here), never a key symbol.
    const QString shift = QKeySequence(Qt::SHIFT | Qt::Key_A).toString(QKeySequence::NativeText).chopped(1);
    EXPECT_EQ(bar->previousButton()->toolTip(), QStringLiteral("上一个结果（") + shift + QStringLiteral("Enter）"));
    EXPECT_EQ(bar->nextButton()->toolTip(), QStringLiteral("下一个结果（Enter）"));
}

TEST_F(SearchBarTest, TypingSearchesAndTheCounterShowsTheCurrentMatch)
{
    type(QStringLiteral("alpha"));
    EXPECT_EQ(model().searchText(), QStringLiteral("alpha"));
    EXPECT_TRUE(pane->controller()->searchRunning());
    EXPECT_FALSE(bar->progress()->isHidden());
    EXPECT_TRUE(bar->counter()->isHidden());
    ASSERT_TRUE(searchSettles());
    ASSERT_EQ(model().searchResults().size(), 12u);
    EXPECT_TRUE(bar->progress()->isHidden());
    EXPECT_EQ(bar->counter()->text(), QStringLiteral("1 / 12"));
    EXPECT_TRUE(bar->nextButton()->isEnabled());

    bar->previousButton()->click();
    EXPECT_EQ(bar->counter()->text(), QStringLiteral("12 / 12"));
    bar->nextButton()->click();
    EXPECT_EQ(bar->counter()->text(), QStringLiteral("1 / 12"));
}

TEST_F(SearchBarTest, ReturnStepsForwardAndShiftReturnBackward)
{
    type(QStringLiteral("alpha"));
    ASSERT_TRUE(searchSettles());
    QTest::keyClick(bar->field(), Qt::Key_Return);
    EXPECT_EQ(model().currentSearchIndex(), 1);
    QTest::keyClick(bar->field(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(bar->field(), Qt::Key_Enter, Qt::ShiftModifier);
    EXPECT_EQ(model().currentSearchIndex(), 11);
    EXPECT_EQ(bar->counter()->text(), QStringLiteral("12 / 12"));
}

TEST_F(SearchBarTest, SpacesOnlyAreNotSearchedButShowNoResults)
{
    type(QStringLiteral("   "));
    EXPECT_FALSE(pane->controller()->searchRunning());
    EXPECT_EQ(bar->counter()->text(), QStringLiteral("无结果"));
    EXPECT_FALSE(bar->counter()->isHidden());
    QTest::keyClick(bar->field(), Qt::Key_Return);
    EXPECT_EQ(model().currentSearchIndex(), 0);
    EXPECT_FALSE(bar->nextButton()->isEnabled());
}

TEST_F(SearchBarTest, EscapeOrTheCloseButtonClosesTheBarAndEmptiesQueryAndMatches)
{
    bar->closeButton()->click();
    EXPECT_FALSE(model().showSearch());
    for (const bool escape : {true, false}) {
        pane->controller()->findInPDF();
        type(QStringLiteral("beta"));
        ASSERT_TRUE(searchSettles());
        if (escape)
            QTest::keyClick(bar->field(), Qt::Key_Escape);
        else
            bar->closeButton()->click();
        EXPECT_FALSE(model().showSearch());
        EXPECT_TRUE(model().searchText().isEmpty());
        EXPECT_TRUE(model().searchResults().empty());
        EXPECT_TRUE(bar->field()->text().isEmpty());
    }
}

// A menu opened over the field borrows the keys and gives them back.
TEST_F(SearchBarTest, TheFieldKeepsTheKeysAcrossAMenu)
{
    pane->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
    ASSERT_TRUE(waitFor([&] { return pane->focusWidget() == bar->field(); }));
    QMenu menu(pane.get());
    menu.addAction(QStringLiteral("Item"));
    menu.popup(pane->mapToGlobal(QPoint(20, 20)));
    menu.hide();
    EXPECT_EQ(pane->focusWidget(), bar->field());
    QTest::keyClick(pane->windowHandle(), Qt::Key_A);
    EXPECT_EQ(bar->field()->text(), QStringLiteral("a"));
}

TEST_F(SearchBarTest, BarStandsBesideTheLeftPanelsAndWithinItsWidthLimits)
{
    pane->paneLayout()->relayout();
    EXPECT_TRUE(bar->isVisibleTo(pane.get()));
    // The visible box is the bar less the margin of its shadow.
    EXPECT_EQ(bar->x() + 6, 14);
    EXPECT_EQ(bar->width() - 12, 380);
    pane->controller()->panelToggled(pane::PanePanel::outline);
    pane->paneLayout()->relayout();
    EXPECT_EQ(bar->x() + 6, 200 + 14);
    pane->controller()->closeSearch();
    pane->paneLayout()->relayout();
    EXPECT_FALSE(bar->isVisibleTo(pane.get()));
}

} // namespace folvan::window::test
