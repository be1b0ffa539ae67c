// The library panel over a pane model showing a paper: its rows, heights,
// enabled states and actions.

#include "support/SharedPDFViewModelTestPeer.h"
#include <QApplication>
#include <QGuiApplication>
#include <QClipboard>
#include <QLabel>
#include <QListView>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "annotationsview/AnnotationListView.h"
#include "dock/ReaderControlButtonStyle.h"
#include "dock/ReaderLibraryPanel.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "support/PaneAnnotationsOf.h"

namespace folvan::test {
namespace {

using dock::ReaderLibraryPanel;

class LibraryPanelTest : public PaneTest {
protected:
    model::SharedPDFViewModel &paper() { return openPane(writePaper(path("paper.pdf"), 6)); }

    // Bookmarks the page, as the reader does while it shows it.
    static void bookmarkPage(model::SharedPDFViewModel &model, int page)
    {
        model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
        model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(page);
        model.toggleBookmark();
    }

    std::unique_ptr<ReaderLibraryPanel> panel(model::SharedPDFViewModel &model)
    {
        auto result = std::make_unique<ReaderLibraryPanel>(&model, [this] { ++dismissed; });
        result->show();
        return result;
    }

    int dismissed = 0;
};

TEST(LibraryListHeight, KeepsItsContentsHeightWithinItsBounds)
{
    EXPECT_EQ(ReaderLibraryPanel::listHeight(0), 44);
    EXPECT_EQ(ReaderLibraryPanel::listHeight(132), 132);
    EXPECT_EQ(ReaderLibraryPanel::listHeight(1 << 30), 260);
}

// Whether the unscrolled list shows all it holds: nothing left to scroll,
// and each annotation row whole in its view.
bool showsEveryRowWhole(ReaderLibraryPanel &library)
{
    QWidget *shown = library.list()->viewport();
    annotationsview::AnnotationListView *list = library.annotationSection()->list();
    bool whole = library.list()->verticalScrollBar()->maximum() == 0;
    for (int row = 0; list->isVisible() && row < list->rowCount(); ++row) {
        const QRect place = list->view()->visualRect(list->rows()->index(row));
        whole = whole && shown->rect().contains(QRect(list->view()->viewport()->mapTo(shown, place.topLeft()), place.size()));
    }
    return whole;
}

TEST_F(LibraryPanelTest, AnEmptyPaperShowsTheInvitationAndNothingElse)
{
    model::SharedPDFViewModel &model = paper();
    auto library = panel(model);
    EXPECT_EQ(library->width(), 310);
    EXPECT_EQ(library->bookmarkToggle()->text(), QStringLiteral("添加此页书签"));
    EXPECT_EQ(library->list()->height(), 44);
    EXPECT_TRUE(library->emptyText()->isVisible());
    EXPECT_EQ(library->bookmarkRowCount(), 0);
    EXPECT_FALSE(library->annotationSection()->isVisible());
    EXPECT_FALSE(library->footer()->isVisible());
    EXPECT_FALSE(library->errorLine()->isVisible());
    EXPECT_FALSE(library->backButton()->isEnabled());
    EXPECT_FALSE(library->forwardButton()->isEnabled());
}

TEST_F(LibraryPanelTest, BookmarkRowsGoAndCloseWhileTheToggleAndRemovalStay)
{
    model::SharedPDFViewModel &model = paper();
    auto library = panel(model);
    bookmarkPage(model, 0);
    bookmarkPage(model, 4);
    bookmarkPage(model, 2);
    ASSERT_EQ(library->bookmarkRowCount(), 3);
    EXPECT_TRUE(test::waitFor([&] { return showsEveryRowWhole(*library); }));
    EXPECT_FALSE(library->emptyText()->isVisible());
    EXPECT_EQ(library->bookmarkPage(0)->text(), QStringLiteral("1"));
    EXPECT_EQ(library->bookmarkTitle(2)->text(), QStringLiteral("第 5 页"));
    EXPECT_TRUE(library->removeButton(0)->accessibleName().startsWith(QStringLiteral("移除第 1")));
    EXPECT_EQ(library->bookmarkToggle()->text(), QStringLiteral("移除此页书签"));

    // The toggle removes the current page's bookmark and the panel stays.
    library->bookmarkToggle()->click();
    EXPECT_EQ(library->bookmarkRowCount(), 2);
    EXPECT_EQ(library->bookmarkToggle()->text(), QStringLiteral("添加此页书签"));
    library->removeButton(0)->click();
    ASSERT_EQ(library->bookmarkRowCount(), 1);
    EXPECT_EQ(library->bookmarkPage(0)->text(), QStringLiteral("5"));
    EXPECT_EQ(dismissed, 0);

    // The row goes to its bookmark, remembering the way back, and closes.
    library->bookmarkRow(0)->click();
    EXPECT_EQ(model.jumpToPage(), 4);
    EXPECT_EQ(model.backLocations().size(), 1u);
    EXPECT_EQ(dismissed, 1);
    EXPECT_TRUE(library->backButton()->isEnabled());
    EXPECT_FALSE(library->forwardButton()->isEnabled());

    library->backButton()->click();
    EXPECT_EQ(dismissed, 2);
    EXPECT_EQ(model.jumpToPage(), 2);
    EXPECT_FALSE(library->backButton()->isEnabled());
    EXPECT_TRUE(library->forwardButton()->isEnabled());
    library->forwardButton()->click();
    EXPECT_EQ(dismissed, 3);
    EXPECT_EQ(model.jumpToPage(), 4);
}

TEST_F(LibraryPanelTest, AnnotationsFillTheListFooterAndClipboard)
{
    model::SharedPDFViewModel &model = paper();
    bookmarkPage(model, 1);
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("note"));
    auto library = panel(model);
    EXPECT_TRUE(test::waitFor([&] { return showsEveryRowWhole(*library); }));
    EXPECT_TRUE(library->annotationSection()->isVisible());
    EXPECT_EQ(library->annotationSection()->header()->text(), QStringLiteral("阅读批注 · 1"));
    EXPECT_TRUE(library->footer()->isVisible());
    EXPECT_TRUE(library->undoButton()->isEnabled());
    EXPECT_FALSE(library->redoButton()->isEnabled());
    EXPECT_TRUE(library->copyButton()->isEnabled());
    EXPECT_TRUE(library->exportMarkdownButton()->isEnabled());

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    library->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), *test::annotationsOf(model).annotationSummary());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("note")));

    // Nothing annotated, but an undo or a redo is there.
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems().front().id);
    EXPECT_TRUE(test::waitFor([&] { return showsEveryRowWhole(*library); }));
    EXPECT_FALSE(library->annotationSection()->isVisible());
    EXPECT_TRUE(library->footer()->isVisible());
    EXPECT_TRUE(library->undoButton()->isEnabled());
    EXPECT_FALSE(library->copyButton()->isEnabled());
    EXPECT_FALSE(library->exportMarkdownButton()->isEnabled());
    EXPECT_TRUE(library->exportPDFButton()->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    library->copySummary();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    library->undoButton()->click();
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    EXPECT_TRUE(library->redoButton()->isEnabled());
    library->redoButton()->click();
    EXPECT_TRUE(test::annotationsOf(model).annotationItems().empty());
    EXPECT_EQ(dismissed, 0);

    // An annotation row goes to it and closes the panel.
    library->undoButton()->click();
    ASSERT_EQ(library->annotationSection()->list()->rowCount(), 1);
    annotationsview::AnnotationListView *list = library->annotationSection()->list();
    QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {},
                      list->partRect(0, annotationsview::AnnotationListView::Part::row).center());
    EXPECT_EQ(dismissed, 1);
}

// The export buttons show their whole titles at every interface text
// size: side by side where they fit, one under the other where not.
TEST_F(LibraryPanelTest, TheExportTitlesFitAtEveryTextSize)
{
    model::SharedPDFViewModel &model = paper();
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    for (const double size : {13.0, 15.0, 17.0, 20.0}) {
        platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, size);
        auto library = std::make_unique<ReaderLibraryPanel>(&model, [] {});
        dock::applyControlButtonStyle(library.get()); // as the dock shows it
        library->show();
        waitForIdle();
        library->resize(library->sizeHint());
        waitForIdle();
        QRect places[2];
        int i = 0;
        for (QToolButton *button : {library->exportMarkdownButton(), library->exportPDFButton()}) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << size << " " << button->text().toStdString();
            places[i] = QRect(button->mapTo(library.get(), QPoint(0, 0)), button->size());
            EXPECT_TRUE(library->contentsRect().adjusted(20, 0, -20, 0).contains(places[i])) << size;
            ++i;
        }
        EXPECT_FALSE(places[0].intersects(places[1])) << size;
    }
}

// Every annotation row stands whole in the panel's scrolling content, its
// buttons included: the list does not scroll inside the panel's scroll.
// Whether every part of `row`, with the panel scrolled to the row, lies
// inside the list's view and the panel's.
bool standsWhole(ReaderLibraryPanel &library, int row)
{
    annotationsview::AnnotationListView *list = library.annotationSection()->list();
    const QRect whole = list->view()->visualRect(list->rows()->index(row));
    const QPoint inContent = list->view()->viewport()->mapTo(library.list()->widget(), whole.center());
    library.list()->ensureVisible(inContent.x(), inContent.y(), 0, whole.height() / 2);
    for (auto part : {annotationsview::AnnotationListView::Part::row, annotationsview::AnnotationListView::Part::edit,
                      annotationsview::AnnotationListView::Part::remove}) {
        const QRect place = list->partRect(row, part);
        const QRect inPanel(list->view()->viewport()->mapTo(library.list()->viewport(), place.topLeft()), place.size());
        if (!place.isValid() || !list->view()->viewport()->rect().contains(place)
            || !library.list()->viewport()->rect().contains(inPanel))
            return false;
    }
    return true;
}

TEST_F(LibraryPanelTest, AnnotationRowsStandWholeInThePanelsScroll)
{
    model::SharedPDFViewModel &model = paper();
    // Two rows at the largest text size: the list is as tall as both.
    platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, 20.0);
    select(model, 0, 0, 0, 20);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("a note\nof two lines"));
    select(model, 1, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    auto library = panel(model);
    annotationsview::AnnotationListView *list = library->annotationSection()->list();
    ASSERT_EQ(list->rowCount(), 2);
    const auto allRowsShown = [&] {
        const QRect last = list->view()->visualRect(list->rows()->index(list->rowCount() - 1));
        return last.isValid() && list->view()->viewport()->rect().contains(last);
    };
    EXPECT_TRUE(test::waitFor(allRowsShown));
    EXPECT_EQ(list->view()->verticalScrollBar()->maximum(), 0);
    for (int row = 0; row < 2; ++row)
        EXPECT_TRUE(standsWhole(*library, row)) << row;

    // More rows than the panel shows: the list still holds them all, and
    // the panel's scroll reaches every row whole.
    for (int page = 2; page < 6; ++page) {
        select(model, page, 0, 0, 5);
        test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("a note\nof two lines"));
    }
    ASSERT_EQ(list->rowCount(), 6);
    EXPECT_TRUE(test::waitFor(allRowsShown));
    EXPECT_EQ(list->view()->verticalScrollBar()->maximum(), 0);
    QScrollBar *scroll = library->list()->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    for (int row = 0; row < 6; ++row)
        EXPECT_TRUE(standsWhole(*library, row)) << row;

    // The wheel over the list is left to the panel, which scrolls.
    scroll->setValue(0);
    const QPoint over = list->partRect(0, annotationsview::AnnotationListView::Part::row).center();
    QWheelEvent wheel(over, list->view()->viewport()->mapToGlobal(over), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->view()->viewport(), &wheel);
    EXPECT_FALSE(wheel.isAccepted());
    const QPoint inPanel = list->view()->viewport()->mapTo(library->list()->viewport(), over);
    QWheelEvent passed(inPanel, library->list()->viewport()->mapToGlobal(inPanel), QPoint(), QPoint(0, -120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(library->list()->viewport(), &passed);
    EXPECT_GT(scroll->value(), 0);

    // A row deleted leaves no room behind.
    const int tall = list->height();
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems().back().id);
    EXPECT_TRUE(test::waitFor([&] { return list->height() < tall && allRowsShown(); }));
}

// The list is as tall as what it holds, the annotations' heading included,
// up to 260: one item shows its row, not its heading alone.
TEST_F(LibraryPanelTest, TheListShowsEveryRowWholeUpToItsCap)
{
    model::SharedPDFViewModel &model = paper();
    platform::Preferences::shared().setValue(platform::prefkey::interfaceTextSize, 20.0);
    auto library = panel(model);
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("note"));
    EXPECT_TRUE(test::waitFor([&] { return showsEveryRowWhole(*library); }));
    bookmarkPage(model, 1);
    EXPECT_TRUE(test::waitFor([&] { return showsEveryRowWhole(*library); }));
    EXPECT_LT(library->list()->height(), 260);
    for (int page = 2; page < 6; ++page)
        bookmarkPage(model, page);
    EXPECT_TRUE(test::waitFor([&] { return library->list()->verticalScrollBar()->maximum() > 0; }));
    EXPECT_EQ(library->list()->height(), 260);
}

TEST_F(LibraryPanelTest, TheBookmarkErrorComesBeforeTheAnnotationError)
{
    model::SharedPDFViewModel &model = paper();
    auto library = panel(model);
    test::annotationsOf(model).setMarkupError(QStringLiteral("无法导出阅读批注：磁盘已满"));
    EXPECT_TRUE(library->errorLine()->isVisible());
    EXPECT_EQ(library->errorLine()->text(), QStringLiteral("无法导出阅读批注：磁盘已满"));
    model::SharedPDFViewModelTestPeer(&model).setNavigationError(QStringLiteral("书签尚未保存：只读"));
    EXPECT_EQ(library->errorLine()->text(), QStringLiteral("书签尚未保存：只读"));
    model::SharedPDFViewModelTestPeer(&model).setNavigationError(std::nullopt);
    EXPECT_EQ(library->errorLine()->text(), QStringLiteral("无法导出阅读批注：磁盘已满"));
    test::annotationsOf(model).setMarkupError(std::nullopt);
    EXPECT_FALSE(library->errorLine()->isVisible());
}

} // namespace
} // namespace folvan::test
