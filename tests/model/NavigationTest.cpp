// Reading positions, the back and forward stacks, and taking over the page
// view's position and selection.

#include "support/SharedPDFViewModelTestPeer.h"
#include "ModelFixtures.h"
#include "engine/PdfSearch.h"
#include "fixtures/PdfFixtureWriter.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <limits>

using namespace folvan;
using namespace folvan::model;

namespace {

ReadingLocation at(int page, std::optional<QPointF> point = std::nullopt)
{
    return ReadingLocation{page, std::nullopt, point};
}

class Navigation : public test::PaneTest {
protected:
    int pages() const override { return 100; }
};

} // namespace

TEST_F(Navigation, NothingHappensWithoutADocumentOrOutsideIt)
{
    SharedPDFViewModel empty;
    empty.navigate(at(0), true);
    EXPECT_FALSE(empty.jumpToPage());

    QSignalSpy jumps(model.get(), &SharedPDFViewModel::jumpToPageChanged);
    model->navigate(at(-1), true);
    model->navigate(at(100), true);
    model->navigate(at(5, QPointF(std::numeric_limits<double>::infinity(), 0)), true);
    model->navigate(at(5, QPointF(0, qQNaN())), true);
    EXPECT_EQ(jumps.count(), 0);
    EXPECT_TRUE(model->backLocations().empty());
}

TEST_F(Navigation, ARememberedJumpRecordsThePositionLeftOnceAndEmptiesForward)
{
    SharedPDFViewModelTestPeer(&*model).setForwardLocations({at(50)});
    model->navigate(at(5, QPointF(10, 20)), true);
    EXPECT_EQ(model->jumpToPage(), 5);
    ASSERT_TRUE(model->pendingDestination());
    EXPECT_EQ(model->pendingDestination()->point(), QPointF(10, 20));
    EXPECT_EQ(model->retainedDestination(), model->pendingDestination());
    ASSERT_EQ(model->backLocations().size(), 1u);
    EXPECT_EQ(model->backLocations()[0], at(0));
    EXPECT_TRUE(model->forwardLocations().empty());

    // The view carried out the jump, then one to the top of that page; two
    // jumps from the same place.
    model->requestCarriedOut(model->pdfDocument(), 5);
    model->navigate(at(5), false);
    model->requestCarriedOut(model->pdfDocument(), 5);
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(5);
    SharedPDFViewModelTestPeer(&*model).setForwardLocations({at(60)});
    model->navigate(at(7), true);
    SharedPDFViewModelTestPeer(&*model).setJumpToPage(std::nullopt);
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(5);
    model->navigate(at(9), true);
    ASSERT_EQ(model->backLocations().size(), 2u);
    EXPECT_EQ(model->backLocations()[1], at(5));
    EXPECT_TRUE(model->forwardLocations().empty());
}

TEST_F(Navigation, JumpingToWhereTheReaderIsRecordsNothingButStillPublishes)
{
    SharedPDFViewModelTestPeer(&*model).setForwardLocations({at(50)});
    QSignalSpy jumps(model.get(), &SharedPDFViewModel::jumpToPageChanged);
    model->navigate(at(0), true);
    model->navigate(at(0), true);
    EXPECT_EQ(jumps.count(), 2);
    EXPECT_TRUE(model->backLocations().empty());
    EXPECT_EQ(model->forwardLocations().size(), 1u);
}

TEST_F(Navigation, TheBackStackKeepsTheNewest64)
{
    LocationList full;
    for (int i = 0; i < 64; ++i)
        full.push_back(at(i + 10));
    SharedPDFViewModelTestPeer(&*model).setBackLocations(full);
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(1);
    model->navigate(at(2), true);
    ASSERT_EQ(model->backLocations().size(), 64u);
    EXPECT_EQ(model->backLocations().front(), at(11));
    EXPECT_EQ(model->backLocations().back(), at(1));
}

TEST_F(Navigation, BackAndForwardMoveOneEntryBetweenTheStacks)
{
    model->returnLocation(false); // empty: nothing
    EXPECT_FALSE(model->jumpToPage());

    ReadingTextSource passage;
    passage.page = 3;
    passage.quote = QStringLiteral("q");
    SharedPDFViewModelTestPeer(&*model).setBackLocations({at(1), ReadingLocation{3, passage, std::nullopt}});
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(8);

    model->returnLocation(false);
    EXPECT_EQ(model->jumpToPage(), 3);
    EXPECT_EQ(model->pendingTextSource(), passage);
    EXPECT_EQ(model->backLocations().size(), 1u);
    ASSERT_EQ(model->forwardLocations().size(), 1u);
    EXPECT_EQ(model->forwardLocations()[0], at(8));

    // Arrived; going forward puts back the position reported on arrival,
    // which carries no passage.
    SharedPDFViewModelTestPeer(&*model).setJumpToPage(std::nullopt);
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(3);
    model->returnLocation(true);
    EXPECT_EQ(model->jumpToPage(), 8);
    EXPECT_FALSE(model->pendingTextSource());
    ASSERT_EQ(model->backLocations().size(), 2u);
    EXPECT_EQ(model->backLocations()[1], at(3));
    EXPECT_TRUE(model->forwardLocations().empty());
}

TEST_F(Navigation, AStaleTargetIsConsumedEvenThoughItLeadsNowhere)
{
    SharedPDFViewModelTestPeer(&*model).setBackLocations({at(500)});
    model->returnLocation(false);
    EXPECT_TRUE(model->backLocations().empty());
    EXPECT_EQ(model->forwardLocations().size(), 1u);
    EXPECT_FALSE(model->jumpToPage());
}

TEST_F(Navigation, LocationPrefersThePendingJumpThenThePageViewThenTheRetainedPoint)
{
    test::FakePageView view;
    view.document = document;
    view.destination = engine::PdfDestination(12, QPointF(30, 40));
    model->setNativePDFView(&view);
    EXPECT_EQ(model->location(), at(12, QPointF(30, 40)));

    model->navigate(at(20), false);
    EXPECT_EQ(model->location(), at(20)); // the view still shows page 12

    SharedPDFViewModelTestPeer(&*model).setJumpToPage(std::nullopt);
    view.document = test::writeDocument(path("other.pdf"), 2); // an earlier document in the view
    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(20);
    // Arrived at a point: it is retained.
    model->navigate(at(20, QPointF(5, 6)), false);
    model->requestCarriedOut(model->pdfDocument(), 20);
    EXPECT_EQ(model->location(), at(20, QPointF(5, 6)));
    model->navigate(at(19, QPointF(5, 6)), false);
    model->requestCarriedOut(model->pdfDocument(), 19);
    EXPECT_EQ(model->location(), at(20));
}

TEST_F(Navigation, APointlessLocationClearsDestinationsAndADestinationRemembers)
{
    model->navigate(at(4, QPointF(1, 2)), false);
    model->navigate(at(6), false);
    EXPECT_FALSE(model->pendingDestination());
    EXPECT_FALSE(model->retainedDestination());

    // Following a destination of the document remembers the position left.
    model->navigate(engine::PdfDestination(7, QPointF(100, 700)));
    EXPECT_EQ(model->jumpToPage(), 7);
    EXPECT_EQ(model->backLocations().size(), 1u);
    model->navigate(engine::PdfDestination(100)); // no such page
    EXPECT_EQ(model->jumpToPage(), 7);
}

TEST_F(Navigation, ResetForgetsTheDocumentsTransientState)
{
    model->navigate(at(4, QPointF(1, 2)), true);
    model->selectBook(4, QPointF(0.5, 0.5), 792.0 / 612.0, model::BookSelectionPhase::Start, QStringLiteral("g"));
    engine::PdfFixtureWriter writer;
    writer.addPage();
    writer.addText(0, QPointF(72, 700), QStringLiteral("mark"), engine::FixtureFont::Courier, 12);
    SharedPDFViewModelTestPeer(&*model).setShowSearch(true);
    SharedPDFViewModelTestPeer(&*model).setSearchResults(engine::findAll(engine::PdfDocument::openData(writer.data()), QStringLiteral("mark")));
    model->rebuildSearchRects();
    ASSERT_TRUE(model->bookSelectionGesture());
    ASSERT_FALSE(model->searchRects().empty());
    SharedPDFViewModelTestPeer(&*model).setNavigationError(QStringLiteral("x"));
    const int revision = model->readingOverlayRevision();
    model->resetNavigation();
    EXPECT_TRUE(model->backLocations().empty());
    EXPECT_FALSE(model->pendingDestination());
    EXPECT_FALSE(model->bookSelectionGesture());
    EXPECT_TRUE(model->searchRects().empty());
    EXPECT_FALSE(model->navigationError());
    EXPECT_EQ(model->readingOverlayRevision(), revision + 1);
    // The pending request and the retained position stay.
    EXPECT_EQ(model->jumpToPage(), 4);
    EXPECT_TRUE(model->retainedDestination());
}

class PageViewCapture : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        engine::PdfFixtureWriter writer;
        writer.addPage();
        writer.addText(0, QPointF(72, 700), QStringLiteral("alpha beta"), engine::FixtureFont::Courier, 12);
        document = engine::PdfDocument::openData(writer.data());
        ASSERT_TRUE(document);
        test::openAndShowInModel(model, document, QUrl());
        view.document = document;
        model.setNativePDFView(&view);
    }
    std::shared_ptr<engine::PdfDocument> document;
    SharedPDFViewModel model;
    test::FakePageView view;
};

TEST_F(PageViewCapture, TakesOverPositionAndSelection)
{
    view.destination = engine::PdfDestination(0, QPointF(10, 10));
    view.selection = document->page(0).selectionForWord(QPointF(72 + 7.2 * 7.5, 703));
    model.captureNativeReading();
    EXPECT_EQ(model.retainedDestination(), view.destination);
    EXPECT_EQ(model.selectionText(), QStringLiteral("beta"));
    ASSERT_TRUE(model.retainedSelection());

    // No selection: cleared, and the text becomes empty.
    view.selection.reset();
    model.captureNativeReading();
    EXPECT_FALSE(model.retainedSelection());
    EXPECT_EQ(model.selectionText(), QString());

    // An equal text is not written again.
    QSignalSpy texts(&model, &SharedPDFViewModel::selectionTextChanged);
    model.captureNativeReading();
    EXPECT_EQ(texts.count(), 0);
}

TEST_F(PageViewCapture, AViewShowingAnEarlierDocumentOrGoneIsNotRead)
{
    view.document = engine::PdfDocument::openData(engine::PdfFixtureWriter().data());
    view.destination = engine::PdfDestination(0, QPointF(10, 10));
    SharedPDFViewModelTestPeer(&model).setSelectionText(QStringLiteral("kept"));
    model.captureNativeReading();
    EXPECT_FALSE(model.retainedDestination());
    EXPECT_EQ(model.selectionText(), QStringLiteral("kept"));

    // A view that is gone is no longer reached.
    auto gone = std::make_unique<test::FakePageView>();
    model.setNativePDFView(gone.get());
    gone.reset();
    EXPECT_EQ(model.nativePDFView(), nullptr);
    model.captureNativeReading();
    EXPECT_EQ(model.location(), at(0));
}

TEST_F(PageViewCapture, CopyPutsTheSelectionOnTheClipboardUnlessEmpty)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    model.copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    SharedPDFViewModelTestPeer(&model).setSelectionText(QStringLiteral("beta"));
    model.copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("beta"));
}

TEST_F(PageViewCapture, ASelectionReportedByThePageViewIsRetainedWithItsText)
{
    const engine::PdfSelection word = document->page(0).selectionForWord(QPointF(72 + 7.2 * 7.5, 703));
    QSignalSpy texts(&model, &SharedPDFViewModel::selectionTextChanged);
    model.pageSelectionChanged(word);
    EXPECT_EQ(model.retainedSelection(), word);
    EXPECT_EQ(model.selectionText(), QStringLiteral("beta"));
    model.pageSelectionChanged(word); // the same text is not written again
    EXPECT_EQ(texts.count(), 1);

    model.pageSelectionChanged(std::nullopt);
    EXPECT_FALSE(model.retainedSelection());
    EXPECT_EQ(model.selectionText(), QString());
}

// What the reading views report besides carried-out jumps.
TEST_F(Navigation, TheReflowViewsOpeningCarriesOutItsDocumentsRequestAndSpendsThePoint)
{
    ReadingTextSource passage;
    passage.page = 3;
    passage.quote = QStringLiteral("q");
    model->navigate(ReadingLocation{3, passage, QPointF(10, 20)}, false);
    model->requestCarriedOut(document, 3, SharedPDFViewModel::RequestScope::jumpAndPlace);
    EXPECT_FALSE(model->jumpToPage());
    EXPECT_FALSE(model->pendingDestination());
    EXPECT_FALSE(model->pendingTextSource());
    EXPECT_EQ(model->retainedDestination(), engine::PdfDestination(3, QPointF(10, 20)));

    // A view still on another document leaves the whole request, its point
    // and passage included, to the view of the paper now open.
    model->navigate(ReadingLocation{5, passage, QPointF(1, 2)}, false);
    const PdfDocumentPtr other = test::writeDocument(path("other.pdf"), 6);
    model->requestCarriedOut(other, 5, SharedPDFViewModel::RequestScope::jumpAndPlace);
    model->requestCarriedOut(other, 5);
    EXPECT_EQ(model->jumpToPage(), 5);
    EXPECT_EQ(model->pendingDestination(), engine::PdfDestination(5, QPointF(1, 2)));
    ASSERT_TRUE(model->pendingTextSource());
    EXPECT_EQ(model->pendingTextSource()->quote, QStringLiteral("q"));

}

TEST_F(Navigation, TheReflowPositionMovesThePageAndRetainsOnlyAKnownPoint)
{
    model->reflowPositionChanged(6, 12, 340, QPointF(50, 60));
    EXPECT_EQ(model->currentPageIndex(), 6);
    EXPECT_EQ(model->reflowBlock(), 12);
    EXPECT_EQ(model->reflowOffset(), 340);
    EXPECT_EQ(model->reflowPage(), 6);
    EXPECT_EQ(model->location(), at(6, QPointF(50, 60)));

    model->reflowPositionChanged(7, 0, 0, std::nullopt);
    EXPECT_EQ(model->reflowPage(), 7);
    EXPECT_EQ(model->retainedDestination(), engine::PdfDestination(6, QPointF(50, 60)));
    EXPECT_EQ(model->location(), at(7));
}

TEST_F(Navigation, ClosingThePaperForgetsPositionSelectionAndHistory)
{
    model->navigate(at(4, QPointF(1, 2)), true);
    model->requestCarriedOut(model->pdfDocument(), 4);
    model->pageSelectionChanged(document->page(4).selection(engine::PdfTextRange{0, 0}));
    SharedPDFViewModelTestPeer(&*model).setSelectionText(QStringLiteral("text"));
    SharedPDFViewModelTestPeer(&*model).setTextSelectionMode(true);
    SharedPDFViewModelTestPeer(&*model).setBookError(QStringLiteral("e"));
    model->documentClosed();
    EXPECT_FALSE(model->retainedDestination());
    EXPECT_FALSE(model->retainedSelection());
    EXPECT_TRUE(model->selectionText().isEmpty());
    EXPECT_FALSE(model->textSelectionMode());
    EXPECT_FALSE(model->bookError());
    EXPECT_TRUE(model->backLocations().empty());
    EXPECT_EQ(model->pageCount(), 0);
    EXPECT_EQ(model->currentPageIndex(), 0);
    EXPECT_FALSE(model->pdfDocument());
    EXPECT_TRUE(model->pdfDocumentURL().isEmpty());
}
