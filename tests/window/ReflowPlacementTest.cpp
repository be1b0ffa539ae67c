// The reflow view in its pane: it has the keyboard as soon as it shows, and
// the search box and the error line leave the page's own controls at its top
// in sight.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneTestSupport.h"

#include "reflow/ReflowView.h"
#include "window/PaneErrorLine.h"
#include "window/PaneLayout.h"
#include "window/ReadingArea.h"
#include "window/SearchBar.h"

#include <QToolButton>
#include <QWebEngineView>

namespace folvan::window::test {

namespace {

class ReflowPlacementTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        pane->resize(1400, 900);
    }
    PaneLayout &layout() { return *pane->paneLayout(); }
};

} // namespace

TEST_F(ReflowPlacementTest, TheReflowViewTakesTheKeyboardAndStandsBelowTheSearchBox)
{
    pane->show();
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Reflow Paper.pdf"), 3)));
    waitForIdle();
    ReadingArea &area = *layout().readingArea();
    pane->controller()->toggleReflow();
    waitForIdle();
    ASSERT_NE(area.reflowView(), nullptr);
    QWidget *focus = pane->focusWidget();
    EXPECT_TRUE(focus && (focus == area.reflowView() || area.reflowView()->isAncestorOf(focus)))
        << (focus ? focus->metaObject()->className() : "no focus");

    // The search box opened over the reflow page: the page starts below it.
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setShowSearch(true);
    waitForIdle();
    ASSERT_TRUE(layout().searchBar()->isVisible());
    const int pageTop = area.mapTo(pane.get(), QPoint(0, 0)).y();
    EXPECT_GE(pageTop, layout().searchBar()->geometry().bottom());
    // Closed again, the page takes its place back.
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setShowSearch(false);
    waitForIdle();
    EXPECT_LT(area.mapTo(pane.get(), QPoint(0, 0)).y(), pageTop);
}

// The error line over a reflowed paper: the page, with its controls at the
// top, starts below it, so that they take clicks while it stands; closed,
// the page takes its place back.
TEST_F(ReflowPlacementTest, TheErrorLineLeavesThePagesControlsInReach)
{
    const QString repaired = repairedPaper(QStringLiteral("Damaged.pdf"));
    ASSERT_FALSE(repaired.isEmpty());
    pane->show();
    ASSERT_TRUE(openAndWait(*pane, repaired));
    PaneErrorLine *line = layout().errorLine();
    ASSERT_TRUE(waitFor([&] { return line->isVisible(); }));
    ReadingArea &area = *layout().readingArea();
    pane->controller()->toggleReflow();
    waitForIdle();
    ASSERT_NE(area.reflowView(), nullptr);
    const auto pageTop = [&] { return area.mapTo(pane.get(), QPoint(0, 0)).y(); };
    EXPECT_GT(pageTop(), line->geometry().bottom());

    const int below = pageTop();
    line->closeButton()->click();
    ASSERT_TRUE(waitFor([&] { return pageTop() < below; })) << pageTop();
}

} // namespace folvan::window::test
