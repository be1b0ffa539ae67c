#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "engine/RasterMemory.h"
#include "pdfview/PageRasterCache.h"
#include "pdfview/PdfView.h"
#include "PageViewFixtures.h"
#include "support/TestEnv.h"

using namespace folvan;
using namespace folvan::pdfview;

namespace {

void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-6)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

// A page view that keeps what it offers as the primary selection.
class RecordingView : public PdfView {
public:
    QStringList offered;

protected:
    void offerPrimarySelection(const QString &text) override { offered.append(text); }
};

class PdfViewTest : public ::testing::Test {
protected:
    void show(std::shared_ptr<engine::PdfDocument> doc, double scale = 1.0, QSize size = QSize(700, 800))
    {
        document = std::move(doc);
        view.resize(size);
        view.setDocument(document);
        view.setScaleFactor(scale);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QPoint onLine(int page, int line, double x) const
    {
        return view.convertPointFromPage(test::lineOrigin(line) + QPointF(x, 3), page).toPoint();
    }
    // Waits for the rasters of what is shown.
    void waitForRasters()
    {
        for (int i = 0; i < 20 && !view.isSharp(); ++i) {
            view.viewport()->repaint();
            view.rasterCache().waitForIdle();
        }
        view.viewport()->repaint();
    }
    double courierAdvance() const { return test::kFontSize * 0.6; }

    std::shared_ptr<engine::PdfDocument> document;
    RecordingView view;
};

// ---------------------------------------------------------------- geometry

TEST_F(PdfViewTest, PagePointsRoundTripOnTurnedAndCroppedPages)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addPage(QSizeF(612, 792), QRectF(50, 100, 400, 300), 90);
    writer.addPage(QSizeF(612, 792), QRectF(30, 40, 500, 600), 270);
    show(test::openFixture(writer), 1.5);
    for (int page = 0; page < 3; ++page) {
        const QRectF crop = document->page(page).cropBox();
        for (QPointF p : {crop.topLeft(), crop.bottomRight(), crop.center() + QPointF(13, -7)})
            expectNear(view.convertPointToPage(view.convertPointFromPage(p, page), page), p, 1e-6);
    }
    // Turned by 90 degrees clockwise, the crop box's top left corner (in
    // PDF space, y up) is drawn at the top right of the page.
    const QRectF crop = document->page(1).cropBox();
    const QPointF topLeft = view.convertPointFromPage(QPointF(crop.left(), crop.bottom()), 1);
    const QPointF bottomLeft = view.convertPointFromPage(crop.topLeft(), 1);
    EXPECT_NEAR(bottomLeft.y(), topLeft.y(), 1e-6);
    EXPECT_NEAR(topLeft.x() - bottomLeft.x(), 300 * view.pixelsPerPoint(), 1e-6);
    EXPECT_NEAR(view.convertRectFromPage(crop, 1).width(), 300 * view.pixelsPerPoint(), 1e-6);
}

TEST_F(PdfViewTest, ScaleOneShowsAPageAtItsPrintedSize)
{
    // A letter page, 8.5 inches wide: at scale 1 it takes 8.5 inches of
    // the screen's logical DPI (816 pixels at 96), at scale 2 twice that.
    show(test::textDocument(1), 1.0, QSize(1000, 800));
    ASSERT_GT(view.logicalDpiX(), 72);
    const double inch = view.logicalDpiX();
    EXPECT_NEAR(view.convertRectFromPage(document->page(0).cropBox(), 0).width(), 8.5 * inch, 1e-6);
    view.setScaleFactor(2);
    EXPECT_NEAR(view.convertRectFromPage(document->page(0).cropBox(), 0).width(), 17 * inch, 1e-6);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 2.0);
}

TEST_F(PdfViewTest, ThePageForAPointIsThePageUnderIt)
{
    show(test::textDocument(3));
    const QRectF first = view.convertRectFromPage(document->page(0).cropBox(), 0);
    const QPointF gap(first.center().x(), first.bottom() + PageLayout::kPageGap / 2);
    EXPECT_EQ(view.pageForPoint(first.center()), 0);
    EXPECT_EQ(view.pageForPoint(gap), -1);
    EXPECT_EQ(view.pageForPoint(gap, true), 0);
    EXPECT_EQ(view.pageForPoint(QPointF(first.left() - 3, first.center().y())), -1);
    EXPECT_EQ(view.pageForPoint(QPointF(first.left() - 3, first.center().y()), true), 0);
}

// ---------------------------------------------------------------- zoom

TEST_F(PdfViewTest, ZoomIsClampedAndKeepsThePointUnderTheAnchor)
{
    show(test::textDocument(3));
    QSignalSpy scaled(&view, &PdfView::scaleChanged);
    view.setScaleFactor(10);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 4.0);
    view.setScaleFactor(0.1);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 0.5);
    view.setScaleFactor(0.5);
    EXPECT_EQ(scaled.count(), 2);

    view.setScaleFactor(1.0);
    view.goToPage(1);
    const QPointF anchor(300, 200);
    const QPointF under = view.convertPointToPage(anchor, 1);
    view.setScaleFactor(2.5, anchor);
    expectNear(view.convertPointFromPage(under, 1), anchor, 1.0);

    // Ctrl+wheel zooms around the pointer.
    QWheelEvent wheel(anchor, view.viewport()->mapToGlobal(anchor), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_NEAR(view.scaleFactor(), 2.5 * 1.2, 1e-9);
    expectNear(view.convertPointFromPage(under, 1), anchor, 1.0);
}

TEST_F(PdfViewTest, AutoScalingFitsTheWidestPage)
{
    show(test::textDocument(2), 1.0, QSize(636, 500));
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setAutoScales(true);
    const double point = view.screenPointPixels();
    EXPECT_NEAR(view.scaleFactor(), (636 - 2 * PageLayout::kSideMargin) / (612.0 * point), 1e-9);

    // A new document is fitted by its own widest page.
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(306, 400));
    view.setDocument(test::openFixture(writer));
    EXPECT_NEAR(view.scaleFactor(), (636 - 2 * PageLayout::kSideMargin) / (306.0 * point), 1e-9);

    view.setScaleFactor(2);
    EXPECT_FALSE(view.autoScales());
}

// ---------------------------------------------------------------- navigation

TEST_F(PdfViewTest, GoesToPagesAndDestinations)
{
    show(test::textDocument(5));
    QSignalSpy paged(&view, &PdfView::pageChanged);
    view.goToPage(3);
    EXPECT_EQ(view.currentPageIndex(), 3);
    EXPECT_EQ(paged.count(), 1);
    view.goToDestination(engine::PdfDestination(2, QPointF(72, 400)));
    EXPECT_EQ(view.currentPageIndex(), 2);
    EXPECT_NEAR(view.convertPointFromPage(QPointF(72, 400), 2).y(), 0, 1.0);
    const auto here = view.currentDestination();
    ASSERT_TRUE(here);
    EXPECT_EQ(here->pageIndex, 2);
    EXPECT_NEAR(here->point().y(), 400, 1.0);

    // Scrolling by keys moves the current page along.
    QTest::keyClick(view.viewport(), Qt::Key_End);
    EXPECT_EQ(view.currentPageIndex(), 4);
    QTest::keyClick(view.viewport(), Qt::Key_Home);
    EXPECT_EQ(view.currentPageIndex(), 0);
    QTest::keyClick(view.viewport(), Qt::Key_PageDown);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.viewport()->height() - 40);
}

TEST_F(PdfViewTest, APagesTopToldAsADestinationComesBackWhereItWas)
{
    // At a page's top the view tells the page's top left corner; going
    // there again shows the gap above the page, and zoomed past the view's
    // width, the margin left of it, as the page jumped to did.
    show(test::textDocument(5), 2.0);
    ASSERT_GT(view.horizontalScrollBar()->maximum(), 0);
    view.goToPage(2);
    const int top = view.verticalScrollBar()->value(), left = view.horizontalScrollBar()->value();
    const auto here = view.currentDestination();
    ASSERT_TRUE(here);
    view.goToPage(4);
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    view.goToDestination(*here);
    EXPECT_EQ(view.currentPageIndex(), 2);
    EXPECT_EQ(view.verticalScrollBar()->value(), top);
    EXPECT_EQ(view.horizontalScrollBar()->value(), left);
    // A point far across the page still goes to the view's top left.
    view.goToDestination(engine::PdfDestination(2, QPointF(300, 400)));
    expectNear(view.convertPointFromPage(QPointF(300, 400), 2), QPointF(0, 0), 1.0);
}

// A link to a heading in the left column of a page wider than the view (a
// narrow reading width): the heading comes to the top, and the page shows
// from its left edge, its margin with it, as a page jumped to does.
TEST_F(PdfViewTest, ADestinationNearThePagesLeftShowsThePageFromItsLeftEdge)
{
    show(test::textDocument(5), 1.5);
    ASSERT_GT(view.horizontalScrollBar()->maximum(), 0);
    view.goToPage(1);
    const int left = view.horizontalScrollBar()->value();
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    view.goToDestination(engine::PdfDestination(3, QPointF(72, 400)));
    EXPECT_EQ(view.currentPageIndex(), 3);
    EXPECT_EQ(view.horizontalScrollBar()->value(), left);
    EXPECT_NEAR(view.convertPointFromPage(QPointF(72, 400), 3).y(), 0, 1.0);
    EXPECT_GE(view.convertPointFromPage(QPointF(0, 400), 3).x(), 0);
}

// The dock's buttons say "下一页（→）" and "上一页（←）": with the page no wider
// than the view, → and ← go to the next and previous page; a wider page
// pans across as before.
TEST_F(PdfViewTest, ArrowKeysTurnAPageThatFitsAndPanAWiderOne)
{
    show(test::textDocument(3), 0.5);
    ASSERT_LE(view.convertRectFromPage(document->page(0).cropBox(), 0).width(), view.viewport()->width());
    QTest::keyClick(view.viewport(), Qt::Key_Right);
    EXPECT_EQ(view.currentPageIndex(), 1);
    EXPECT_NEAR(view.convertPointFromPage(QPointF(0, 792), 1).y(), PageLayout::kPageGap / 2, 1.0);
    QTest::keyClick(view.viewport(), Qt::Key_Right);
    QTest::keyClick(view.viewport(), Qt::Key_Right);
    EXPECT_EQ(view.currentPageIndex(), 2);
    QTest::keyClick(view.viewport(), Qt::Key_Left);
    EXPECT_EQ(view.currentPageIndex(), 1);

    view.setScaleFactor(2);
    view.goToPage(1);
    const int x = view.horizontalScrollBar()->value();
    QTest::keyClick(view.viewport(), Qt::Key_Right);
    EXPECT_EQ(view.currentPageIndex(), 1);
    EXPECT_EQ(view.horizontalScrollBar()->value(), x + 40);
    QTest::keyClick(view.viewport(), Qt::Key_Left);
    EXPECT_EQ(view.horizontalScrollBar()->value(), x);
}

TEST_F(PdfViewTest, LongDocumentsKeepTheReadersPlaceWhileTheirPageSizesAreRead)
{
    // The later pages are twice as tall as the first: the view learns it
    // only after it has shown the first page.
    engine::PdfFixtureWriter writer;
    for (int p = 0; p < 9100; ++p)
        writer.addPage(p < 300 ? QSizeF(612, 792) : QSizeF(612, 1584));
    document = test::openFixture(writer);
    view.resize(700, 800);
    view.setDocument(document);
    EXPECT_TRUE(view.isReadingPageSizes());
    view.goToPage(9000);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(test::waitFor([&] { return !view.isReadingPageSizes(); }));

    // The jump made before the sizes were known is still on its page's top.
    const double pixels = view.pixelsPerPoint();
    EXPECT_EQ(view.currentPageIndex(), 9000);
    EXPECT_NEAR(view.convertPointFromPage(QPointF(0, 1584), 9000).y(), PageLayout::kPageGap / 2, 1.0);
    EXPECT_NEAR(view.convertRectFromPage(document->page(9000).cropBox(), 9000).height(), 1584 * pixels, 1.0);
    // Every page is laid out at its own size (each edge is rounded to a
    // whole pixel).
    const double pages = (300 * 792 + 8800 * 1584) * pixels + 9099 * PageLayout::kPageGap;
    EXPECT_NEAR(view.documentSize().height(), pages + 2 * PageLayout::kVerticalMargin, 9100);
    // Jumps and scrolling to the end land where they should.
    view.goToPage(9050);
    EXPECT_NEAR(view.convertPointFromPage(QPointF(0, 1584), 9050).y(), PageLayout::kPageGap / 2, 1.0);
    EXPECT_EQ(view.pageForPoint(QPointF(350, 400)), 9050);
    QTest::keyClick(view.viewport(), Qt::Key_End);
    EXPECT_EQ(view.currentPageIndex(), 9099);
}

// ---------------------------------------------------------------- rasters

TEST_F(PdfViewTest, DrawsSharpRastersAndAStandInWhileZooming)
{
    show(test::textDocument(2));
    const QPoint glyph = onLine(0, 0, 1.5);
    EXPECT_FALSE(view.isSharp());
    waitForRasters();
    ASSERT_TRUE(view.isSharp());
    const auto isInked = [&](QPoint at) {
        const QImage frame = view.viewport()->grab().toImage();
        // Somewhere in the glyph's cell there is ink.
        for (int dy = -6; dy <= 0; ++dy)
            for (int dx = 0; dx <= 6; ++dx)
                if (qGray(frame.pixel(at + QPoint(dx, dy))) < 128)
                    return true;
        return false;
    };
    EXPECT_TRUE(isInked(glyph));

    // At a new zoom the old raster stands in at once.
    view.setScaleFactor(1.6, QPointF(glyph));
    EXPECT_FALSE(view.isSharp());
    EXPECT_TRUE(isInked(glyph));
    waitForRasters();
    EXPECT_TRUE(view.isSharp());
}

TEST_F(PdfViewTest, AtHighZoomOnlyTheVisibleTilesAreMade)
{
    show(test::textDocument(2), 4.0, QSize(600, 500));
    waitForRasters();
    ASSERT_TRUE(view.isSharp());
    // The page at zoom 4 is 2448 × 3168 pixels: twelve tiles of 1024, of
    // which the view shows one or two and keeps a few more ready around.
    const qint64 tile = 1024 * 1024 * 4;
    EXPECT_LE(view.rasterCache().memoryUsed(), 6 * tile);
}

TEST_F(PdfViewTest, NewAnnotationsAreDrawnAfterAReload)
{
    show(test::textDocument(1));
    waitForRasters();
    const QRectF mark(300, 400, 100, 50);
    const QPoint centre = view.convertRectFromPage(mark, 0).center().toPoint();
    const auto colourAt = [&] { return view.viewport()->grab().toImage().pixelColor(centre); };
    EXPECT_EQ(colourAt(), QColor(Qt::white));

    engine::PdfNewAnnotation markup;
    markup.subtype = QStringLiteral("Highlight");
    markup.rects = {mark};
    markup.color = {0, 0, 1, 1};
    ASSERT_TRUE(engine::createAnnotation(*document, 0, markup).isValid());
    view.reloadPageContents();
    // The old raster stays on screen until the new one is made.
    EXPECT_EQ(colourAt(), QColor(Qt::white));
    waitForRasters();
    const QColor after = colourAt();
    EXPECT_LT(after.red(), 100);
    EXPECT_GT(after.blue(), 200);
}

TEST_F(PdfViewTest, AnAnnotationChangeDrawsOnlyItsPageAgain)
{
    // Small pages, so that both are on the screen.
    show(test::textDocument(2), 0.4);
    waitForRasters();
    PageRasterCache &cache = view.rasterCache();
    // The one scale drawn so far.
    const auto kept = cache.nearestStandIn(0, 1);
    ASSERT_TRUE(kept);
    const int key = kept->first;
    const QImage *firstPage = cache.tile({0, key, 0, 0, cache.epoch(0)});
    const QImage *secondPage = cache.tile({1, key, 0, 0, cache.epoch(1)});
    ASSERT_TRUE(firstPage && secondPage);
    const QImage firstBefore = *firstPage, secondBefore = *secondPage;

    engine::PdfNewAnnotation markup;
    markup.rects = {QRectF(300, 400, 100, 50)};
    markup.color = {0, 0, 1, 1};
    ASSERT_TRUE(engine::createAnnotation(*document, 1, markup).isValid());
    const int firstEpoch = cache.epoch(0), secondEpoch = cache.epoch(1);
    view.reloadPageContents(1);
    EXPECT_EQ(cache.epoch(0), firstEpoch);
    EXPECT_GT(cache.epoch(1), secondEpoch);
    waitForRasters();
    // The untouched page keeps its raster; the touched one is drawn anew.
    EXPECT_EQ(cache.tile({0, key, 0, 0, cache.epoch(0)}), firstPage);
    EXPECT_EQ(*firstPage, firstBefore);
    const QImage *redrawn = cache.tile({1, key, 0, 0, cache.epoch(1)});
    ASSERT_TRUE(redrawn);
    EXPECT_NE(*redrawn, secondBefore);
}

TEST_F(PdfViewTest, HighlightsCoverTheirMatchesLineByLine)
{
    show(test::textDocument(1));
    // "beta\nPage": a match over a line break gives a piece on each line.
    const engine::PdfSelection match(document->page(0), engine::PdfTextRange{20, 9});
    ASSERT_EQ(match.string(), QStringLiteral("beta\nPage"));
    view.setHighlightedSelections({match});
    waitForRasters();
    const QImage frame = view.viewport()->grab().toImage();
    // Whether the paper around a page point is tinted yellow.
    const auto yellowAt = [&](QPointF pagePoint) {
        const QPoint centre = view.convertPointFromPage(pagePoint, 0).toPoint();
        for (int dy = -3; dy <= 3; ++dy) {
            for (int dx = -3; dx <= 3; ++dx) {
                const QColor c = frame.pixelColor(centre + QPoint(dx, dy));
                if (c.red() > 200 && c.green() > 170 && c.blue() < 120)
                    return true;
            }
        }
        return false;
    };
    const double advance = courierAdvance();
    EXPECT_TRUE(yellowAt(test::lineOrigin(0) + QPointF(21.5 * advance, 2)));
    EXPECT_TRUE(yellowAt(test::lineOrigin(1) + QPointF(2 * advance, 2)));
    EXPECT_FALSE(yellowAt(test::lineOrigin(1) + QPointF(15 * advance, 2)));
    EXPECT_FALSE(yellowAt(test::lineOrigin(0) + QPointF(10 * advance, 2)));
}

TEST(PageRasterCache, StandInsPreferTheNearestScaleAndTheNewestEpoch)
{
    PageRasterCache cache;
    const auto document = test::textDocument(1);
    cache.setDocument(document);
    cache.request({0, 1000, 0, 0, 0}, 1);
    cache.request({0, 2000, 0, 0, 0}, 1);
    cache.waitForIdle();
    ASSERT_TRUE(cache.tile({0, 1000, 0, 0, 0}));
    EXPECT_EQ(cache.nearestStandIn(0, 1800), std::make_pair(2000, 0));
    EXPECT_EQ(cache.nearestStandIn(0, 1000), std::make_pair(2000, 0));
    cache.invalidate();
    EXPECT_EQ(cache.nearestStandIn(0, 1000), std::make_pair(1000, 0));
    cache.request({0, 1000, 0, 0, 1}, 1);
    cache.waitForIdle();
    EXPECT_EQ(cache.nearestStandIn(0, 1200), std::make_pair(1000, 1));
    EXPECT_FALSE(cache.nearestStandIn(3, 1000));
}

// The program's one raster budget, shared by the page views.
class RasterBudgetTest : public ::testing::Test {
protected:
    // Makes a page's raster at scale 1 in `cache`, as its frame asks for it.
    static void make(PageRasterCache &cache, int page)
    {
        cache.request(key(page), 1);
        cache.waitForIdle();
    }
    static RasterTileKey key(int page) { return {page, 1000, 0, 0, 0}; }
    // A shown area whose budget holds `tiles` rasters of a page.
    QSize areaFor(double tiles) const
    {
        return QSize(1, int(tiles * tileBytes / (4 * RasterBudget::kScreensKept)));
    }

    std::shared_ptr<engine::PdfDocument> document = test::textDocument(4);
    // A 612 × 792 page at scale 1, as 32-bit pixels.
    qint64 tileBytes = 612ll * 792 * 4;
    RasterBudget budget;
};

TEST_F(RasterBudgetTest, ASecondPaneGivesUpTheFirstsLeastRecentlyUsedRastersButNeverTheShownOnes)
{
    PageRasterCache first(budget), second(budget);
    first.setDocument(document);
    second.setDocument(document);
    first.setShownArea(areaFor(3.5));
    for (int page = 0; page < 3; ++page)
        make(first, page);
    ASSERT_EQ(first.memoryUsed(), 3 * tileBytes);
    // The first pane shows page 2, then page 0.
    first.beginFrame();
    first.tile(key(2));
    first.beginFrame();
    ASSERT_TRUE(first.tile(key(0)));

    // The second pane's rasters take the room of the first's least recently
    // used ones: page 1, then page 2.
    second.beginFrame();
    make(second, 0);
    EXPECT_FALSE(first.tile(key(1)));
    EXPECT_EQ(first.memoryUsed(), 2 * tileBytes);
    make(second, 1);
    EXPECT_EQ(first.memoryUsed(), tileBytes);
    // What both panes show stays, even beyond the budget.
    make(second, 2);
    EXPECT_TRUE(first.tile(key(0)));
    EXPECT_EQ(second.memoryUsed(), 3 * tileBytes);
    EXPECT_EQ(budget.used(), 4 * tileBytes);
    EXPECT_GT(budget.used(), budget.limit());
    // Once the second pane shows only one page, the rest is given up.
    second.beginFrame();
    second.tile(key(2));
    make(second, 3);
    EXPECT_LE(budget.used(), budget.limit());
    EXPECT_TRUE(first.tile(key(0)) && second.tile(key(2)) && second.tile(key(3)));
}

TEST_F(RasterBudgetTest, AClosedPaperGivesBackItsRastersAndItsShare)
{
    PageRasterCache first(budget);
    first.setDocument(document);
    first.setShownArea(QSize(100, 100));
    {
        PageRasterCache second(budget);
        second.setDocument(document);
        second.setShownArea(QSize(300, 100));
        EXPECT_EQ(budget.limit(), 400 * 100 * 4 * RasterBudget::kScreensKept);
        make(first, 0);
        make(second, 0);
        make(second, 1);
        EXPECT_EQ(budget.used(), 3 * tileBytes);
        second.setDocument(nullptr);
        EXPECT_EQ(second.memoryUsed(), 0);
        EXPECT_FALSE(second.tile(key(0)));
        EXPECT_EQ(budget.used(), tileBytes);
        EXPECT_EQ(budget.limit(), 100 * 100 * 4 * RasterBudget::kScreensKept);
        second.setDocument(document);
        make(second, 2);
    }
    // A pane taken down gives back its rasters too.
    EXPECT_EQ(budget.used(), tileBytes);
    EXPECT_EQ(budget.limit(), 100 * 100 * 4 * RasterBudget::kScreensKept);
    // Once no pane shows a paper, the memory kept to draw tiles into goes
    // as well.
    make(first, 1);
    first.setDocument(nullptr);
    EXPECT_EQ(budget.used(), 0);
    EXPECT_EQ(engine::spareRasterBytes(), 0);
}

TEST_F(RasterBudgetTest, TheBudgetFollowsTheShownArea)
{
    PageRasterCache cache(budget);
    cache.setDocument(document);
    cache.setShownArea(areaFor(4.5));
    for (int page = 0; page < 4; ++page)
        make(cache, page);
    cache.beginFrame();
    ASSERT_EQ(cache.memoryUsed(), 4 * tileBytes);
    // A smaller view keeps fewer screens: the oldest rasters go.
    cache.setShownArea(areaFor(2.5));
    EXPECT_EQ(cache.memoryUsed(), 2 * tileBytes);
    EXPECT_FALSE(cache.tile(key(0)));
    EXPECT_TRUE(cache.tile(key(3)));
}

TEST_F(PdfViewTest, ScrollingThroughALongPaperKeepsTheRastersWithinTheBudget)
{
    // Half-size pages: one raster tile each, some fifteen in the budget.
    show(test::textDocument(40), 0.5);
    const QSize shown = (QSizeF(view.viewport()->size()) * view.viewport()->devicePixelRatioF()).toSize();
    EXPECT_EQ(view.rasterCache().shownArea(), qint64(shown.width()) * shown.height());
    waitForRasters();
    const int scale = view.rasterCache().nearestStandIn(0, 1)->first;
    while (view.currentPageIndex() < 35) {
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 800);
        waitForRasters();
        ASSERT_TRUE(view.isSharp());
    }
    EXPECT_LE(RasterBudget::shared().used(), RasterBudget::shared().limit());
    EXPECT_FALSE(view.rasterCache().tile({0, scale, 0, 0, 0}));
}

// ---------------------------------------------------------------- selection

TEST_F(PdfViewTest, DraggingSelectsTextAcrossTheDrag)
{
    show(test::textDocument(2));
    QSignalSpy selected(&view, &PdfView::selectionChanged);
    const QPoint from = onLine(0, 0, 0.5);
    const QPoint to = onLine(0, 1, 6 * courierAdvance() - 1);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), to);
    test::sendMouseMove(view.viewport(), to, Qt::LeftButton);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    ASSERT_TRUE(view.currentSelection());
    EXPECT_EQ(view.currentSelection()->string(), test::lineText(0, 0) + QStringLiteral("\nPage 0"));
    EXPECT_GT(selected.count(), 0);
    // The text dragged over becomes the primary selection when the button
    // is let go.
    EXPECT_EQ(view.offered, QStringList{view.currentSelection()->string()});

    // Shift-click extends from the same start.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, onLine(0, 0, 9 * courierAdvance() - 1));
    EXPECT_EQ(view.currentSelection()->string(), QStringLiteral("Page 0 li"));

    // A plain click clears it.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLine(1, 1, 2));
    EXPECT_FALSE(view.currentSelection());
    EXPECT_EQ(view.offered.size(), 2);
}

TEST_F(PdfViewTest, ASelectionDragHeldBelowTheViewKeepsScrolling)
{
    show(test::textDocument(4), 1.0, QSize(700, 500));
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, onLine(0, 0, 0.5));
    const QPoint below(300, view.viewport()->height() + 40);
    test::sendMouseMove(view.viewport(), below, Qt::LeftButton);
    const int first = view.verticalScrollBar()->value();
    EXPECT_TRUE(test::waitFor([&] { return view.verticalScrollBar()->value() > first; }));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, below);
    const int released = view.verticalScrollBar()->value();
    test::waitForIdle();
    EXPECT_EQ(view.verticalScrollBar()->value(), released);
    ASSERT_TRUE(view.currentSelection());
    EXPECT_TRUE(view.currentSelection()->string().endsWith(test::lineText(0, 2)));
}

TEST_F(PdfViewTest, ShiftClickExtendsASelectionMadeElsewhereFromItsStart)
{
    show(test::textDocument(2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLine(0, 0, 0.5));
    // A search match, say: "line" on line 1.
    view.setCurrentSelection(document->page(0).selectionForWord(test::lineOrigin(1) + QPointF(8 * courierAdvance(), 3)));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, onLine(0, 1, 19 * courierAdvance() - 1));
    ASSERT_TRUE(view.currentSelection());
    EXPECT_EQ(view.currentSelection()->string(), QStringLiteral("line 1 alpha"));
}

TEST_F(PdfViewTest, DoubleClickSelectsAWordAndTripleClickTheLineAlsoThroughTheViewTransform)
{
    show(test::textDocument(2));
    const QPoint onWord = onLine(0, 2, 15 * courierAdvance());
    for (const QTransform &tilt : {QTransform(), QTransform::fromTranslate(120, 40).scale(0.8, 0.8)}) {
        view.setViewTransform(tilt);
        const QPoint shown = tilt.map(QPointF(onWord)).toPoint();
        expectNear(view.viewPointFromWidget(shown), onWord, 1.0);

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, shown);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, shown);
        ASSERT_TRUE(view.currentSelection());
        EXPECT_EQ(view.currentSelection()->string(), QStringLiteral("alpha"));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, shown);
        EXPECT_EQ(view.currentSelection()->string(), test::lineText(0, 2));
    }
}

TEST_F(PdfViewTest, HighlightsAndSelectionResetWithANewDocument)
{
    show(test::textDocument(2));
    const engine::PdfSelection word = document->page(0).selectionForWord(test::lineOrigin(0) + QPointF(2, 3));
    view.setHighlightedSelections({word});
    view.setCurrentSelection(word);
    QSignalSpy selected(&view, &PdfView::selectionChanged);
    view.setDocument(test::textDocument(1));
    EXPECT_TRUE(view.highlightedSelections().empty());
    EXPECT_FALSE(view.currentSelection());
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(view.currentPageIndex(), 0);
}

} // namespace
