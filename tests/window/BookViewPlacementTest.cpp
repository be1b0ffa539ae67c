// Which view a pane's reading area holds while a paper is open: the book
// view while the book is chosen, else the page view, never both.

#include "PaneTestSupport.h"

#include "annotationsview/VisualEffect.h"
#include "book/PaperBookView.h"
#include "book/PaperReadingView.h"
#include "localweb/LocalWebPage.h"
#include "window/PaneLayout.h"
#include "window/PaneReadingViews.h"
#include "window/ReadingArea.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "platform/Preferences.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QWebEngineUrlScheme>

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

    int made = 0;
};

} // namespace

TEST_F(BookViewPlacementTest, TheBookViewAndThePageViewReplaceEachOther)
{
    ReadingArea &area = *pane->paneLayout()->readingArea();
    EXPECT_EQ(area.bookView(), nullptr);
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Book.pdf"), 4)));
    ASSERT_TRUE(pane->controller()->readingMode());
    ASSERT_TRUE(waitFor([&] { return area.bookView() && !pane->pageView(); }));
    EXPECT_EQ(area.currentView(), area.bookView());
    EXPECT_EQ(made, 1);

    const QPointer<QWidget> book = area.bookView();
    pane->controller()->readingModeChosen(false);
    ASSERT_TRUE(waitFor([&] { return !book && pane->pageView(); }));
    EXPECT_EQ(area.currentView(), area.pageSlot());

    pane->controller()->readingModeChosen(true);
    ASSERT_TRUE(waitFor([&] { return area.bookView() && !pane->pageView(); }));
    EXPECT_EQ(made, 2);
}

} // namespace folvan::window::test

namespace folvan::window::test {

// Whatever switches the view (the keys, the dock, a menu, the reflow
// toggle, another paper), the view that comes on screen has the keyboard:
// the one it replaces, hidden, would hand it on along the focus chain (to
// the dock's buttons), and a page view made anew takes the place of one
// that is gone.
TEST_F(BookViewPlacementTest, TheViewOnScreenHasTheKeyboardAfterEverySwitch)
{
    pane->resize(1400, 900);
    pane->show();
    ReadingArea &area = *pane->paneLayout()->readingArea();
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Keys.pdf"), 4)));
    ASSERT_TRUE(waitFor([&] { return area.bookView() != nullptr; }));
    const auto keysWith = [&](QWidget *view) {
        QWidget *focus = pane->focusWidget();
        return view && focus && (focus == view || view->isAncestorOf(focus));
    };
    const auto pageView = [&]() -> QWidget * { return pane->pageView() ? pane->pageView()->pdfView() : nullptr; };
    EXPECT_TRUE(waitFor([&] { return keysWith(area.bookView()); }));
    // The dock's buttons take the keys only when tabbed to: not on a click,
    // nor in passing while the view changes (a focus ring on "<").
    for (QAbstractButton *button : area.dock()->findChildren<QAbstractButton *>())
        EXPECT_EQ(button->focusPolicy(), Qt::TabFocus);
    int dockFocus = 0;
    const auto watch = QObject::connect(qApp, &QApplication::focusChanged, [&](QWidget *, QWidget *now) {
        dockFocus += now && area.dock() && area.dock()->isAncestorOf(now);
    });

    pane->controller()->readingModeChosen(false);
    ASSERT_TRUE(waitFor([&] { return pageView() && !area.bookView(); }));
    waitForIdle();
    EXPECT_TRUE(waitFor([&] { return keysWith(pageView()); })) << (pane->focusWidget() ? pane->focusWidget()->metaObject()->className() : "none");

    pane->controller()->switchMode();
    ASSERT_TRUE(waitFor([&] { return area.bookView() && !pane->pageView(); }));
    EXPECT_TRUE(waitFor([&] { return keysWith(area.bookView()); }));
    pane->controller()->switchMode();
    ASSERT_TRUE(waitFor([&] { return pageView() != nullptr; }));
    waitForIdle();
    EXPECT_TRUE(waitFor([&] { return keysWith(pageView()); }));

    // Reflow and back.
    pane->controller()->toggleReflow();
    ASSERT_TRUE(waitFor([&] { return area.reflowView() != nullptr; }));
    EXPECT_TRUE(waitFor([&] { return keysWith(area.reflowView()); }));
    pane->controller()->toggleReflow();
    ASSERT_TRUE(waitFor([&] { return pageView() && !area.reflowView(); }));
    waitForIdle();
    EXPECT_TRUE(waitFor([&] { return keysWith(pageView()); }));

    // The page view made anew for the same paper (its file moved).
    const QPointer<QWidget> old = pageView();
    pane->viewModel()->documentMoved(pane->viewModel()->pdfDocumentURL());
    ASSERT_TRUE(waitFor([&] { return !old && pageView(); }));
    waitForIdle();
    EXPECT_TRUE(waitFor([&] { return keysWith(pageView()); }));

    // Another paper opened from the book view shows in the page view.
    pane->controller()->readingModeChosen(true);
    ASSERT_TRUE(waitFor([&] { return area.bookView() != nullptr; }));
    platform::Preferences::shared().setValue(QStringLiteral("folvan.defaultBookMode"), false);
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Other.pdf"), 2)));
    ASSERT_TRUE(waitFor([&] { return pageView() && !area.bookView(); }));
    waitForIdle();
    EXPECT_TRUE(waitFor([&] { return keysWith(pageView()); }));
    QObject::disconnect(watch);
    EXPECT_EQ(dockFocus, 0);
}

namespace {

// Panes with the application's own book view.
class BookWallpaperTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        services.bookView = makePaneBookView;
        OnePaneTest::SetUp();
    }
};

// As the program does, before the application object exists.
const bool bookSchemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-book"));
    return true;
}();

} // namespace

// The book, over the pane's reading row, is given the pane's wallpaper where the pane draws it.
TEST_F(BookWallpaperTest, TheBookShowsThePanesWallpaperWhereThePaneDrawsIt)
{
    QImage wallpaper(300, 200, QImage::Format_RGB32);
    wallpaper.fill(QColor(200, 30, 40));
    ASSERT_TRUE(wallpaper.save(path(QStringLiteral("wallpaper.png"))));
    platform::Preferences::shared().setValue(QStringLiteral("backgroundImagePath"), path(QStringLiteral("wallpaper.png")));
    pane->resize(1400, 900);
    pane->show();
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Book.pdf"), 4)));
    ReadingArea &area = *pane->paneLayout()->readingArea();
    ASSERT_TRUE(waitFor([&] { return area.bookView() != nullptr; }));
    book::PaperBookView *view = qobject_cast<book::PaperReadingView *>(area.bookView())->bookView();
    QWidget *backdrop = pane->paneLayout();
    const auto wherePaneDrawsIt = [&] {
        return annotationsview::wallpaperPlace(wallpaper.size(), backdrop->size())
            .translated(-QPointF(view->mapTo(backdrop, QPoint(0, 0))));
    };
    EXPECT_TRUE(waitFor([&] { return view->wallpaperPlace() == wherePaneDrawsIt(); }));
    pane->controller()->panelToggled(pane::PanePanel::outline);
    EXPECT_TRUE(waitFor([&] { return view->wallpaperPlace() == wherePaneDrawsIt(); }));

    platform::Preferences::shared().setValue(QStringLiteral("backgroundImagePath"), QString());
    EXPECT_TRUE(waitFor([&] { return view->wallpaperPlace().isEmpty(); }));
}

} // namespace folvan::window::test
