#include "support/SharedPDFViewModelTestPeer.h"
#include <cmath>

#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "engine/PdfSearch.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/NativeViewportFit.h"
#include "pdfview/PDFViewWrapper.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "PageViewFixtures.h"

using namespace folvan;
using namespace folvan::pdfview;
using folvan::test::waitForIdle;

namespace {

class PDFViewWrapperTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        platform::Preferences::resetSharedForTesting();
        model = std::make_unique<model::SharedPDFViewModel>();
        document = test::textDocument(6, 12);
    }
    void TearDown() override
    {
        wrapper.reset();
        model.reset();
        TempHomeTest::TearDown();
    }

    QUrl documentURL() const { return QUrl::fromLocalFile(path(QStringLiteral("paper.pdf"))); }

    // Shows `shown` in the model and makes the wrapper for `document`,
    // `size` large; the first-show restore has not run yet.
    void makeWrapper(QSize size = QSize(800, 600), std::shared_ptr<engine::PdfDocument> shown = {})
    {
        model::SharedPDFViewModelTestPeer(&*model).setPdfDocument(shown ? shown : document);
        model::SharedPDFViewModelTestPeer(&*model).setPdfDocumentURL(documentURL());
        PDFViewWrapper::ScaleBinding binding{[this] { return zoom; },
                                             [this](double z) {
                                                 zoom = z;
                                                 zoomWrites.push_back(z);
                                             }};
        // A child can be narrower than a window may be.
        host.resize(std::max(size.width(), 200), std::max(size.height(), 200));
        host.show();
        wrapper = std::make_unique<PDFViewWrapper>(document, binding, model.get(), nullptr, &host);
        wrapper->setGeometry(QRect(QPoint(0, 0), size));
        wrapper->show();
    }
    // Opens the document in the model as a pane opens a paper to fit the
    // width of its view.
    void openFittingTheWidth()
    {
        model::OpenedDocument opened;
        opened.document = document;
        opened.fitWidth = true;
        model->documentOpened(opened);
    }
    DroppablePDFView *view() const { return wrapper->pdfView(); }
    platform::Preferences &prefs() const { return platform::Preferences::shared(); }
    QString lastPageKey() const { return QStringLiteral("lastPage_") + documentURL().path(); }

    std::unique_ptr<model::SharedPDFViewModel> model;
    std::shared_ptr<engine::PdfDocument> document;
    QWidget host;
    std::unique_ptr<PDFViewWrapper> wrapper;
    double zoom = 1.0;
    std::vector<double> zoomWrites;
};

// ---------------------------------------------------------------- first show

TEST_F(PDFViewWrapperTest, RestoresToThePageClampedIntoTheDocumentSilently)
{
    for (const auto &[stored, expected] : {std::pair{99, 5}, std::pair{-3, 0}, std::pair{2, 2}}) {
        wrapper.reset();
        model = std::make_unique<model::SharedPDFViewModel>();
        model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(stored);
        makeWrapper();
        EXPECT_TRUE(wrapper->coordinator()->restoring);
        waitForIdle();
        EXPECT_EQ(view()->currentPageIndex(), expected) << stored;
        EXPECT_EQ(model->currentPageIndex(), expected) << stored;
        EXPECT_EQ(model->pageCount(), 6);
        EXPECT_FALSE(wrapper->coordinator()->restoring);
        // The moves of the restore itself reach neither the preferences
        // nor the zoom binding.
        EXPECT_FALSE(prefs().contains(lastPageKey()));
        EXPECT_TRUE(zoomWrites.empty());
    }
}

TEST_F(PDFViewWrapperTest, RestoresTheRetainedDestinationAndSelectionOnThatPage)
{
    // A jump carried out before the view was made, and a selection.
    model::SharedPDFViewModelTestPeer(&*model).setPdfDocument(document);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(2);
    model->navigate(model::ReadingLocation{2, std::nullopt, QPointF(72, 500)}, false);
    model->requestCarriedOut(model->pdfDocument(), 2);
    const engine::PdfSelection line = document->page(2).selectionForLine(test::lineOrigin(1) + QPointF(5, 3));
    model->pageSelectionChanged(line);
    makeWrapper();
    waitForIdle();
    const QPointF top = view()->convertPointFromPage(QPointF(72, 500), 2);
    EXPECT_NEAR(top.y(), 0, 1.0);
    ASSERT_TRUE(view()->currentSelection());
    EXPECT_EQ(*view()->currentSelection(), line);

    // A destination or selection on another page is not used.
    wrapper.reset();
    model = std::make_unique<model::SharedPDFViewModel>();
    model::SharedPDFViewModelTestPeer(&*model).setPdfDocument(document);
    model->navigate(model::ReadingLocation{4, std::nullopt, QPointF(72, 300)}, false);
    model->requestCarriedOut(model->pdfDocument(), 4);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(1);
    model->pageSelectionChanged(line);
    makeWrapper();
    waitForIdle();
    EXPECT_EQ(view()->currentPageIndex(), 1);
    EXPECT_FALSE(view()->currentSelection());
}

TEST_F(PDFViewWrapperTest, FitsTheWidthTheViewGetsInItsLayoutOnFirstShow)
{
    // Made as a pane makes it: added to a shown window's layout afterwards.
    openFittingTheWidth();
    QWidget window;
    auto *column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    window.resize(636, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto *pane = new PDFViewWrapper(document, {[this] { return zoom; }, [this](double z) { zoomWrites.push_back(z); }},
                                    model.get(), nullptr, &window);
    column->addWidget(pane);
    waitForIdle();
    const double expected = (636 - 24) / (612.0 * pane->pdfView()->screenPointPixels());
    EXPECT_NEAR(pane->pdfView()->scaleFactor(), expected, 1e-9);
    ASSERT_EQ(zoomWrites.size(), 1u);
    EXPECT_NEAR(zoomWrites[0], expected, 1e-9);
    EXPECT_NEAR(prefs().doubleValue(QStringLiteral("scaleFactorKey"), 0), expected, 1e-9);
    EXPECT_FALSE(model->fitNativeOnMount());
    EXPECT_FALSE(pane->pdfView()->autoScales());
}

// A key, a wheel turn or a click that reaches the shown view before the
// first-show restore has run (the window shows the paper, the reader
// presses End at once) acts from the reading position, and the restore
// does not undo it afterwards.
TEST_F(PDFViewWrapperTest, TheFirstInputBeforeTheRestoreActsFromTheReadingPosition)
{
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(2);
    makeWrapper();
    ASSERT_TRUE(wrapper->coordinator()->restoring);
    QTest::keyClick(view()->viewport(), Qt::Key_End);
    waitForIdle();
    EXPECT_FALSE(wrapper->coordinator()->restoring);
    EXPECT_EQ(view()->currentPageIndex(), 5) << "End was undone by the restore";

    // One line down from the reading position, not from the top, also when
    // another view's report took the model to the first page meanwhile.
    for (const bool movedMeanwhile : {false, true}) {
        wrapper.reset();
        model = std::make_unique<model::SharedPDFViewModel>();
        model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(2);
        makeWrapper();
        if (movedMeanwhile)
            model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(0);
        QTest::keyClick(view()->viewport(), Qt::Key_Down);
        waitForIdle();
        EXPECT_EQ(view()->currentPageIndex(), 2) << movedMeanwhile;
        const int down = view()->verticalScrollBar()->value();
        view()->goToPage(2);
        EXPECT_EQ(down - view()->verticalScrollBar()->value(), 40) << movedMeanwhile;
    }
}

TEST_F(PDFViewWrapperTest, AViewMadeOffScreenRestoresWhereThePaneIsWhenShown)
{
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(1);
    makeWrapper();
    wrapper->hide();
    waitForIdle();
    EXPECT_TRUE(wrapper->coordinator()->restoring);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(4);
    wrapper->show();
    waitForIdle();
    EXPECT_FALSE(wrapper->coordinator()->restoring);
    EXPECT_EQ(view()->currentPageIndex(), 4);
}

TEST_F(PDFViewWrapperTest, APageWiderThanTheViewScrollsSidewaysAndANarrowerOneIsCentred)
{
    makeWrapper(QSize(600, 600));
    waitForIdle();
    QScrollBar *bar = view()->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_TRUE(bar->isVisibleTo(wrapper.get()));
    auto wheel = [this](QPoint delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(300, 300);
        QWheelEvent event(at, view()->viewport()->mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view()->viewport(), &event);
    };
    const int start = bar->value();
    wheel(QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_GT(bar->value(), start);
    const int shifted = bar->value();
    wheel(QPoint(-120, 0), Qt::NoModifier);
    EXPECT_GT(bar->value(), shifted);

    view()->setScaleFactor(0.5);
    waitForIdle();
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(bar->isVisibleTo(wrapper.get()));
    const double left = view()->convertPointFromPage(QPointF(0, 0), 0).x();
    const double right = view()->viewport()->width() - view()->convertPointFromPage(QPointF(612, 0), 0).x();
    EXPECT_NEAR(left, right, 1.0);
}

TEST_F(PDFViewWrapperTest, NoFitForANarrowViewKeepsTheZoomAndTheFlag)
{
    zoom = 1.5;
    openFittingTheWidth();
    makeWrapper(QSize(24, 600));
    waitForIdle();
    EXPECT_TRUE(model->fitNativeOnMount());
    EXPECT_TRUE(zoomWrites.empty());
    EXPECT_NEAR(view()->scaleFactor(), 1.5, 1e-9);
}

TEST(NativeViewportFit, MeasuresTurnedPagesByTheirHeightAndClamps)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 800));
    writer.addPage(QSizeF(600, 800), std::nullopt, 90);
    writer.addPage(QSizeF(600, 800), std::nullopt, -90);
    writer.addPage(QSizeF(600, 800), QRectF(100, 100, 300, 400), 180);
    const auto document = test::openFixture(writer);

    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(0), 624), 1.0);
    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(1), 824), 1.0);
    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(2), 424), 0.5);
    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(3), 624), 2.0);
    // At most 4, at least 0.5.
    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(0), 10000), 4.0);
    EXPECT_DOUBLE_EQ(*NativeViewportFit::scale(document->page(0), 30), 0.5);
    // No fit: 24 points or less, a width that is not finite, no page.
    EXPECT_FALSE(NativeViewportFit::scale(document->page(0), 24));
    EXPECT_FALSE(NativeViewportFit::scale(document->page(0), std::nan("")));
    EXPECT_FALSE(NativeViewportFit::scale(document->page(9), 800));
    EXPECT_FALSE(NativeViewportFit::scale(engine::PdfPage(), 800));
}

TEST_F(PDFViewWrapperTest, ARestoreThatFoundTheModelElsewhereRunsAtTheNextFittingUpdate)
{
    const auto other = test::textDocument(2);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(3);
    makeWrapper(QSize(800, 600), other);
    waitForIdle();
    EXPECT_TRUE(wrapper->coordinator()->restoring);

    // Deaf while the model shows another document...
    view()->goToPage(5);
    waitForIdle();
    EXPECT_FALSE(prefs().contains(lastPageKey()));

    // ...and restored once it shows this one.
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(3);
    model::SharedPDFViewModelTestPeer(&*model).setPdfDocument(document);
    waitForIdle();
    EXPECT_FALSE(wrapper->coordinator()->restoring);
    EXPECT_EQ(view()->currentPageIndex(), 3);
    view()->goToPage(1);
    waitForIdle();
    EXPECT_EQ(model->currentPageIndex(), 1);
}

// ---------------------------------------------------------------- zoom

TEST_F(PDFViewWrapperTest, ZoomTravelsBothWaysClampedAndWithoutEcho)
{
    makeWrapper();
    waitForIdle();
    // The binding's zoom reaches the view and comes back nowhere.
    zoom = 2.25;
    wrapper->scheduleUpdate();
    waitForIdle();
    EXPECT_DOUBLE_EQ(view()->scaleFactor(), 2.25);
    EXPECT_TRUE(zoomWrites.empty());
    EXPECT_FALSE(prefs().contains(QStringLiteral("scaleFactorKey")));
    // A difference of a thousandth or less is left alone.
    zoom = 2.2505;
    wrapper->updateView();
    EXPECT_DOUBLE_EQ(view()->scaleFactor(), 2.25);

    // The view's own zoom reaches the binding clamped to 0.5...4.
    view()->setMaxScaleFactor(10);
    view()->setMinScaleFactor(0.1);
    for (const auto &[shown, reported] : {std::pair{7.0, 4.0}, std::pair{0.2, 0.5}}) {
        view()->setScaleFactor(shown);
        waitForIdle();
        ASSERT_FALSE(zoomWrites.empty());
        EXPECT_DOUBLE_EQ(zoomWrites.back(), reported);
        EXPECT_DOUBLE_EQ(prefs().doubleValue(QStringLiteral("scaleFactorKey"), 0), reported);
    }
}

// ---------------------------------------------------------------- page jumps

TEST_F(PDFViewWrapperTest, AJumpIsCarriedOutThenConsumedOneTurnLater)
{
    makeWrapper();
    waitForIdle();
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(4);
    wrapper->updateView();
    EXPECT_EQ(view()->currentPageIndex(), 4);
    EXPECT_TRUE(view()->isTransitionRunning(QStringLiteral("pageJump")));
    EXPECT_EQ(model->jumpToPage(), std::optional<int>(4));
    waitForIdle();
    EXPECT_EQ(model->jumpToPage(), std::nullopt);
    EXPECT_EQ(model->currentPageIndex(), 4);
    EXPECT_EQ(prefs().intValue(lastPageKey(), -1), 4);

    // Beyond the last page: nothing moves, the request is still cleared.
    const int scroll = view()->verticalScrollBar()->value();
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(6);
    waitForIdle();
    EXPECT_EQ(view()->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(model->jumpToPage(), std::nullopt);
}

TEST_F(PDFViewWrapperTest, AJumpUsesThePendingDestinationOnlyOnItsPage)
{
    makeWrapper();
    waitForIdle();
    model->navigate(model::ReadingLocation{3, std::nullopt, QPointF(72, 400)}, false);
    waitForIdle();
    EXPECT_NEAR(view()->convertPointFromPage(QPointF(72, 400), 3).y(), 0, 1.0);
    EXPECT_FALSE(model->pendingDestination());

    // A point of another page than the jump's (another jump replaced it).
    model->navigate(model::ReadingLocation{1, std::nullopt, QPointF(72, 400)}, false);
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(2);
    waitForIdle();
    EXPECT_EQ(view()->currentPageIndex(), 2);
    EXPECT_LT(std::abs(view()->convertPointFromPage(QPointF(0, 792), 2).y()), 10);
    EXPECT_FALSE(model->pendingDestination());
}

// A jump to a passage marks the passage's text on its page (the page's
// finder stands in for the text map) until the reader presses on the page or
// a jump goes elsewhere.
TEST_F(PDFViewWrapperTest, APassageJumpedToIsMarkedOverItsTextUntilTheReaderClicks)
{
    makeWrapper(QSize(700, 800));
    waitForIdle();
    const engine::PdfSelection passage(document->page(3), engine::PdfTextRange{14, 10});
    ASSERT_EQ(passage.string(), QStringLiteral("alpha beta"));
    model->setPassageFinder([&](const model::ReadingTextSource &source) {
        return source.quote == passage.string() ? std::optional(passage) : std::nullopt;
    });
    const auto goToPassage = [&] {
        model::ReadingLocation target;
        target.page = 3;
        target.point = test::lineOrigin(0) + QPointF(0, 20);
        target.source = model::ReadingTextSource{3, {}, {}, 0, 0, passage.string(), {}, {}, {}, {}};
        model->navigate(target, true);
        waitForIdle();
    };
    // Whether the paper under a page point of page 3 is tinted green.
    const auto markedAt = [&](QPointF pagePoint) {
        const QImage frame = view()->viewport()->grab().toImage();
        const QPoint centre = view()->convertPointFromPage(pagePoint, 3).toPoint();
        for (int dy = -3; dy <= 3; ++dy) {
            for (int dx = -3; dx <= 3; ++dx) {
                const QColor c = frame.pixelColor(centre + QPoint(dx, dy));
                if (c.green() > 200 && c.green() > c.red() + 30 && c.green() > c.blue() + 25)
                    return true;
            }
        }
        return false;
    };
    const double advance = 0.6 * test::kFontSize;
    const QPointF onPassage = test::lineOrigin(0) + QPointF(16.5 * advance, 2);
    const QPointF besidePassage = test::lineOrigin(0) + QPointF(8 * advance, 2);

    goToPassage();
    EXPECT_FALSE(model->jumpToPage());
    EXPECT_FALSE(model->pendingTextSource());
    EXPECT_EQ(view()->currentPageIndex(), 3);
    EXPECT_EQ(view()->markedPassage(), passage);
    EXPECT_TRUE(test::waitFor([&] { return markedAt(onPassage); }));
    EXPECT_FALSE(markedAt(besidePassage));
    EXPECT_FALSE(markedAt(test::lineOrigin(1) + QPointF(16.5 * advance, 2)));

    // A click on the page takes it away, in the model and on screen.
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, view()->convertPointFromPage(test::lineOrigin(2), 3).toPoint());
    waitForIdle();
    EXPECT_FALSE(model->markedPassage());
    EXPECT_TRUE(view()->markedPassage().isEmpty());
    EXPECT_FALSE(markedAt(onPassage));

    // So does a jump without a passage.
    goToPassage();
    ASSERT_EQ(view()->markedPassage(), passage);
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(1);
    waitForIdle();
    EXPECT_TRUE(view()->markedPassage().isEmpty());
}

// ---------------------------------------------------------------- search

class PDFViewWrapperSearchTest : public PDFViewWrapperTest {
protected:
    void SetUp() override
    {
        PDFViewWrapperTest::SetUp();
        makeWrapper();
        waitForIdle();
        results = engine::findAll(document, QStringLiteral("alpha"));
        ASSERT_EQ(results.size(), 72u);
        model::SharedPDFViewModelTestPeer(&*model).setShowSearch(true);
        model->searchTextEntered(QStringLiteral("alpha"));
        model::SharedPDFViewModelTestPeer(&*model).setSearchResults(results);
        model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(30);
        waitForIdle();
    }
    std::vector<engine::PdfSelection> results;
    // The scroll that clears a match of the top edge waits on it.
    platform::ManualClock clock;
};

TEST_F(PDFViewWrapperSearchTest, ShowsTheMatchesAndSelectsTheCurrentOne)
{
    EXPECT_EQ(view()->highlightedSelections(), results);
    ASSERT_TRUE(view()->currentSelection());
    EXPECT_EQ(*view()->currentSelection(), results[30]);
    EXPECT_EQ(view()->currentPageIndex(), 2);
}

TEST_F(PDFViewWrapperSearchTest, MovesOnlyWhenTheSearchStateChanged)
{
    view()->clearSelection();
    wrapper->updateView();
    EXPECT_FALSE(view()->currentSelection());

    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(31);
    waitForIdle();
    ASSERT_TRUE(view()->currentSelection());
    EXPECT_EQ(*view()->currentSelection(), results[31]);

    // An index past the end selects the last match.
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(500);
    waitForIdle();
    EXPECT_EQ(*view()->currentSelection(), results.back());
}

TEST_F(PDFViewWrapperSearchTest, MatchesArrivingLaterAreShownWithoutMovingTheView)
{
    const QRectF visible = view()->documentVisibleRect();
    model::SearchBatch more;
    more.matches = engine::findAll(document, QStringLiteral("beta"));
    ASSERT_FALSE(more.matches.empty());
    model->searchFoundMatches(more);
    waitForIdle();
    EXPECT_EQ(view()->highlightedSelections(), model->searchResults());
    EXPECT_EQ(view()->highlightedSelections().size(), results.size() + more.matches.size());
    ASSERT_TRUE(view()->currentSelection());
    EXPECT_EQ(*view()->currentSelection(), results[30]);
    EXPECT_EQ(view()->documentVisibleRect(), visible);

    // A new list that does not continue the one shown replaces it.
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults({results[3]});
    waitForIdle();
    EXPECT_EQ(view()->highlightedSelections(), model::SelectionList{results[3]});
}

TEST_F(PDFViewWrapperSearchTest, NoMatchesClearTheSelectionAndAHiddenBarTheHighlights)
{
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults({});
    waitForIdle();
    EXPECT_FALSE(view()->currentSelection());
    EXPECT_TRUE(view()->highlightedSelections().empty());

    // With the bar hidden, the selection of the reader stays.
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults(results);
    waitForIdle();
    model::SharedPDFViewModelTestPeer(&*model).setShowSearch(false);
    const engine::PdfSelection mine = document->page(1).selectionForWord(test::lineOrigin(0) + QPointF(2, 3));
    view()->setCurrentSelection(mine);
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults({});
    waitForIdle();
    EXPECT_TRUE(view()->highlightedSelections().empty());
    ASSERT_TRUE(view()->currentSelection());
    EXPECT_EQ(*view()->currentSelection(), mine);
}

TEST_F(PDFViewWrapperSearchTest, KeepsTheCurrentMatchClearOfTheTopEdge)
{
    clock.advance(1);
    // Bring match 12 close under the top edge, then make it current.
    const engine::PdfSelection &match = results[12];
    const engine::PdfPage page = match.pages().front();
    const QRectF bounds = match.bounds(page);
    const auto matchTop = [&] {
        const QPointF corner = view()->convertPointFromPage(QPointF(bounds.left(), bounds.bottom()), page.index());
        return view()->convertPointToDocument(corner).y() - view()->documentVisibleRect().top();
    };
    view()->scrollDocumentTo(QPointF(0, view()->documentVisibleRect().top() + matchTop() - 20));
    ASSERT_NEAR(matchTop(), 20, 1);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(12);
    waitForIdle();
    EXPECT_NEAR(matchTop(), 20, 1) << "moved before the view settled";
    clock.advance(0.15);
    EXPECT_NEAR(matchTop(), 84, 1);

    // A match further down than 76 points is left where it is.
    view()->scrollDocumentTo(QPointF(0, view()->documentVisibleRect().top() + matchTop() - 100));
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(13);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(12);
    waitForIdle();
    clock.advance(0.15);
    EXPECT_NEAR(matchTop(), 100, 1);

}

// ---------------------------------------------------------------- selection

TEST_F(PDFViewWrapperTest, SelectionChangesReachTheModelInALaterTurn)
{
    makeWrapper();
    waitForIdle();
    const engine::PdfSelection line = document->page(0).selectionForLine(test::lineOrigin(2) + QPointF(5, 3));
    view()->setCurrentSelection(line);
    EXPECT_TRUE(model->selectionText().isEmpty());
    waitForIdle();
    EXPECT_EQ(model->selectionText(), test::lineText(0, 2));
    ASSERT_TRUE(model->retainedSelection());
    EXPECT_EQ(*model->retainedSelection(), line);

    view()->clearSelection();
    waitForIdle();
    EXPECT_TRUE(model->selectionText().isEmpty());
    EXPECT_FALSE(model->retainedSelection());

    // Dropped when by then the model shows another view.
    view()->setCurrentSelection(line);
    QObject stranger;
    model->setNativePDFView(&stranger);
    waitForIdle();
    EXPECT_TRUE(model->selectionText().isEmpty());
}

// ---------------------------------------------------------------- links

TEST_F(PDFViewWrapperTest, AnInternalLinkMovesThePaneThroughItsNavigation)
{
    engine::PdfFixtureWriter writer;
    for (int p = 0; p < 6; ++p)
        writer.addPage();
    const QRectF link(72, 600, 120, 20);
    writer.addLink(0, link, 3, QPointF(72, 450));
    document = test::openFixture(writer);
    makeWrapper();
    waitForIdle();

    const QPoint at = view()->convertPointFromPage(link.center(), 0).toPoint();
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
    waitForIdle();
    EXPECT_EQ(view()->currentPageIndex(), 3);
    EXPECT_NEAR(view()->convertPointFromPage(QPointF(72, 450), 3).y(), 0, 1.0);
    ASSERT_EQ(model->backLocations().size(), 1u);
    EXPECT_EQ(model->backLocations().back().page, 0);

    // Back returns to where the click was made.
    model->returnLocation(false);
    waitForIdle();
    EXPECT_EQ(view()->currentPageIndex(), 0);
}

// ---------------------------------------------------------------- removal

TEST_F(PDFViewWrapperTest, RemovalCapturesTheReadingAndLetsGoOnlyOfItsOwnView)
{
    makeWrapper();
    waitForIdle();
    view()->goToPage(3);
    view()->setCurrentSelection(document->page(3).selectionForLine(test::lineOrigin(0) + QPointF(5, 3)));
    wrapper.reset();
    EXPECT_EQ(model->nativePDFView(), nullptr);
    ASSERT_TRUE(model->retainedDestination());
    EXPECT_EQ(model->retainedDestination()->pageIndex, 3);
    EXPECT_EQ(model->selectionText(), test::lineText(3, 0));

    // A view removed before it was ever on screen leaves the reading alone.
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(2);
    wrapper = std::make_unique<PDFViewWrapper>(document, PDFViewWrapper::ScaleBinding{}, model.get(), nullptr);
    waitForIdle();
    wrapper.reset();
    EXPECT_EQ(model->nativePDFView(), nullptr);
    EXPECT_EQ(model->retainedDestination()->pageIndex, 3);
    EXPECT_EQ(model->selectionText(), test::lineText(3, 0));

    // A newer view that has replaced it stays.
    makeWrapper();
    waitForIdle();
    DroppablePDFView newer;
    model->setNativePDFView(&newer);
    wrapper.reset();
    EXPECT_EQ(model->nativePDFView(), static_cast<model::NativePDFViewInterface *>(&newer));
}

} // namespace

// A page wider than its view, in a view made small and given its width by
// the pane's layout afterwards (a narrow reading width, the Scholar panel,
// the comparison): the paper opens with the page's left edge in view, and
// a page jumped to after scrolling to the right shows its left edge again.
TEST_F(PDFViewWrapperTest, APageWiderThanTheViewOpensAndIsJumpedToAtItsLeftEdge)
{
    const auto leftEdgeShown = [this](int page) {
        const double x = view()->convertPointFromPage(QPointF(0, 700), page).x();
        return x >= 0 && x < view()->viewport()->width();
    };
    makeWrapper(QSize(100, 600));
    waitForIdle();
    wrapper->setGeometry(QRect(0, 0, 600, 600));
    waitForIdle();
    ASSERT_GT(view()->horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(leftEdgeShown(0)) << view()->horizontalScrollBar()->value() << " of "
                                  << view()->horizontalScrollBar()->maximum();

    view()->horizontalScrollBar()->setValue(view()->horizontalScrollBar()->maximum());
    ASSERT_FALSE(leftEdgeShown(0));
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(3);
    waitForIdle();
    EXPECT_EQ(view()->currentPageIndex(), 3);
    EXPECT_TRUE(leftEdgeShown(3));
}
