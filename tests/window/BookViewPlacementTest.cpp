// Which view a pane's reading area holds while a paper is open: the book
// view while the book is chosen, else the page view, never both.

#include "PaneTestSupport.h"

#include "window/PaneLayout.h"
#include "window/ReadingArea.h"

#include <QPointer>

namespace folvan::window::test {

namespace {

class BookViewPlacementTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        services.bookView = [this](ContentView *, QWidget *parent) {
            ++made;
            return new QWidget(parent);
        };
        OnePaneTest::SetUp();
    }
    // Runs the event loop, deferred deletions included, until `done` holds.
    static bool settleUntil(const std::function<bool()> &done)
    {
        return waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return done();
        });
    }

    int made = 0;
};

} // namespace

TEST_F(BookViewPlacementTest, TheBookViewAndThePageViewReplaceEachOther)
{
    ReadingArea &area = *pane->paneLayout()->readingArea();
    EXPECT_EQ(area.bookView(), nullptr);
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Book.pdf"), 4)));
    ASSERT_TRUE(pane->controller()->readingMode());
    ASSERT_TRUE(settleUntil([&] { return area.bookView() && !pane->pageView(); }));
    EXPECT_EQ(area.currentView(), area.bookView());
    EXPECT_EQ(made, 1);

    const QPointer<QWidget> book = area.bookView();
    pane->controller()->readingModeChosen(false);
    ASSERT_TRUE(settleUntil([&] { return !book && pane->pageView(); }));
    EXPECT_EQ(area.currentView(), area.pageSlot());

    pane->controller()->readingModeChosen(true);
    ASSERT_TRUE(settleUntil([&] { return area.bookView() && !pane->pageView(); }));
    EXPECT_EQ(made, 2);
}

} // namespace folvan::window::test
