// Where the annotation views stand in a pane: the citation preview of the
// page view, the selection toolbar and the annotation list at the dock's
// place, and the tinted background without a wallpaper.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneTestSupport.h"

#include "annotationsview/AnnotationListView.h"
#include "annotationsview/NativeSelectionControls.h"
#include "annotationsview/ReferencePreviewController.h"
#include "annotationsview/VisualEffect.h"
#include "dock/DockPopover.h"
#include "dock/ReaderDock.h"
#include "engine/PdfSelection.h"
#include "platform/PreferenceKeys.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "window/PaneErrorLine.h"
#include "window/PaneLayout.h"
#include "window/PanePanels.h"
#include "window/ReadingArea.h"

#include <QListView>
#include <QTest>
#include <QToolButton>

namespace folvan::window::test {

namespace {

class AnnotationPlacesTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        pane->resize(1400, 900);
        pane->show();
        ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Places.pdf"), 2)));
        pane->controller()->readingModeChosen(false);
        ASSERT_TRUE(waitFor([&] {
            return pane->pageView() && pane->viewModel()->nativePDFView() && !pane->pageView()->coordinator()->restoring;
        }));
    }
    ReadingArea &area() { return *pane->paneLayout()->readingArea(); }
    pdfview::DroppablePDFView &view() { return *pane->pageView()->pdfView(); }
    void selectWord()
    {
        const engine::PdfPage page(view().document(), 0);
        const engine::PdfSelection word = page.selectionForWord(QPointF(80, 654));
        ASSERT_FALSE(word.isEmpty());
        view().setCurrentSelection(word);
        ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->selectionText().isEmpty(); }));
    }
};

} // namespace

TEST_F(AnnotationPlacesTest, ThePageViewPreviewsCitations)
{
    EXPECT_NE(dynamic_cast<annotationsview::ReferencePreviewController *>(view().referencePreview()), nullptr);
}

TEST_F(AnnotationPlacesTest, TheToolbarStandsOverTheDockWhileTextIsSelected)
{
    ASSERT_NE(area().dock(), nullptr);
    EXPECT_EQ(area().dock()->selectionStrip(), nullptr);
    selectWord();
    ASSERT_NE(area().dock()->selectionStrip(), nullptr);
    auto *toolbar = area().dock()->selectionStrip()->findChild<annotationsview::NativeSelectionControls *>();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_LT(area().dock()->selectionStrip()->geometry().bottom(), area().dock()->mainRow()->y());

    // Highlighting keeps the selection and the toolbar; the list opens in
    // the dock's library panel with the new annotation.
    toolbar->highlightButton()->click();
    ASSERT_EQ(pane->controller()->annotations()->annotationItems().size(), 1u);
    EXPECT_EQ(area().dock()->selectionStrip()->findChild<annotationsview::NativeSelectionControls *>(), toolbar);
    area().dock()->libraryTool()->click();
    ASSERT_NE(area().dock()->popover(), nullptr);
    auto *list = area().dock()->popover()->findChild<annotationsview::AnnotationListView *>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowCount(), 1);
    // A row's jump closes the panel.
    QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {},
                      list->partRect(0, annotationsview::AnnotationListView::Part::row).center());
    EXPECT_FALSE(area().dock()->panel());
    EXPECT_FALSE(area().dock()->popover()->isVisible());

    // The close button ends the selection, and the toolbar goes with it.
    auto *close = area().dock()->selectionStrip()->findChild<QToolButton *>(QStringLiteral("endSelectionButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->accessibleName(), QStringLiteral("结束选字"));
    close->click();
    ASSERT_TRUE(waitFor([&] { return area().dock()->selectionStrip() == nullptr; }));
    EXPECT_FALSE(view().currentSelection());
    EXPECT_TRUE(pane->viewModel()->selectionText().isEmpty());
}

// In a short window the library panel opens above the dock's main row,
// inside the window, and the toolbar's note popover stays inside it too.
TEST_F(AnnotationPlacesTest, PopoversStayInsideTheWindow)
{
    selectWord();
    auto *toolbar = area().dock()->selectionStrip()->findChild<annotationsview::NativeSelectionControls *>();
    ASSERT_NE(toolbar, nullptr);
    toolbar->highlightButton()->click();
    pane->resize(1000, 660);
    const QRect window(pane->window()->mapToGlobal(QPoint(0, 0)), pane->window()->size());
    area().dock()->libraryTool()->click();
    QWidget *list = area().dock()->popover();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(waitFor([&] { return list->isVisible(); }));
    const QRect frame = list->geometry();
    EXPECT_TRUE(window.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height()
                                        << " in " << window.x() << "," << window.y() << " " << window.width() << "x"
                                        << window.height();
    EXPECT_LT(frame.top(), area().dock()->mainRow()->mapToGlobal(QPoint(0, 0)).y());
    list->close();

    toolbar->noteButton()->click();
    ASSERT_NE(toolbar->notePopover(), nullptr);
    const QRect note = toolbar->notePopover()->geometry();
    EXPECT_TRUE(window.contains(note)) << note.x() << "," << note.y() << " " << note.width() << "x" << note.height();
}

// While a store fails its error stays in a line over the reading row, one
// line a store, until the failure ends.
TEST_F(AnnotationPlacesTest, AFailingStoreKeepsItsErrorLine)
{
    PaneErrorLine *line = pane->paneLayout()->errorLine();
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->isVisible());
    pane->controller()->annotations()->setMarkupError(QStringLiteral("批注尚未保存：磁盘已满"));
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setNavigationError(QStringLiteral("书签尚未保存：磁盘已满"));
    ASSERT_TRUE(waitFor([&] { return line->isVisible() && line->height() > 0 && line->y() > 0; }));
    EXPECT_EQ(line->errors(), QStringList({QStringLiteral("批注尚未保存：磁盘已满"), QStringLiteral("书签尚未保存：磁盘已满")}));
    const QRect reading = area().geometry();
    EXPECT_TRUE(reading.contains(line->geometry())) << line->geometry().y();
    pane->controller()->annotations()->setMarkupError(std::nullopt);
    EXPECT_TRUE(line->isVisible());
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setNavigationError(std::nullopt);
    EXPECT_FALSE(line->isVisible());
}

TEST_F(AnnotationPlacesTest, TheTintLiesBehindAPaneWithoutWallpaper)
{
    PaneLayout &layout = *pane->paneLayout();
    ASSERT_TRUE(waitFor([&] { return layout.tintedBackground()->isVisible(); }));
    EXPECT_EQ(layout.tintedBackground()->size(), layout.size());
    QImage wallpaper(40, 30, QImage::Format_RGB32);
    wallpaper.fill(Qt::red);
    ASSERT_TRUE(wallpaper.save(path(QStringLiteral("wallpaper.png"))));
    platform::Preferences::shared().setValue(platform::prefkey::backgroundImagePath, path(QStringLiteral("wallpaper.png")));
    ASSERT_TRUE(waitFor([&] { return !layout.tintedBackground()->isVisible(); }));
}

} // namespace folvan::window::test
