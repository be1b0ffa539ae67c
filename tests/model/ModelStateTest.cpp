// The model's own state: a write of the value held is not published, a
// repeated request is, and a carried-out turn clears only its own request.

#include "support/SharedPDFViewModelTestPeer.h"
#include "model/SharedPDFViewModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

TEST(ModelState, ARepeatedRequestIsPublishedAgain)
{
    SharedPDFViewModel model;
    QSignalSpy turns(&model, &SharedPDFViewModel::bookTurnRequestChanged);
    const BookTurnRequest request = BookTurnRequest::make(true);
    SharedPDFViewModelTestPeer(&model).setBookTurnRequest(request);
    SharedPDFViewModelTestPeer(&model).setBookTurnRequest(request);
    EXPECT_EQ(turns.count(), 2);
    EXPECT_NE(BookTurnRequest::make(true), BookTurnRequest::make(true)); // a new identity each time
}


TEST(ModelState, ACarriedOutTurnClearsOnlyItsOwnRequest)
{
    SharedPDFViewModel model;
    model.turnPage(true, true);
    ASSERT_TRUE(model.bookTurnRequest());
    const QUuid first = model.bookTurnRequest()->id;
    model.turnPage(false, true);
    ASSERT_TRUE(model.bookTurnRequest());
    const QUuid second = model.bookTurnRequest()->id;

    model.bookTurnCarriedOut(first);
    ASSERT_TRUE(model.bookTurnRequest());
    EXPECT_EQ(model.bookTurnRequest()->id, second);
    model.bookTurnCarriedOut(second);
    EXPECT_FALSE(model.bookTurnRequest());
}

TEST(ModelState, AWriteOfTheValueHeldIsNotPublished)
{
    SharedPDFViewModel model;
    QSignalSpy shown(&model, &SharedPDFViewModel::showSearchChanged);
    QSignalSpy texts(&model, &SharedPDFViewModel::searchTextChanged);
    QSignalSpy results(&model, &SharedPDFViewModel::searchResultsChanged);
    QSignalSpy indices(&model, &SharedPDFViewModel::currentSearchIndexChanged);
    model.searchCleared();
    model.searchTextEntered(QStringLiteral("graph"));
    model.searchTextEntered(QStringLiteral("graph"));
    EXPECT_EQ(shown.count(), 0);
    EXPECT_EQ(texts.count(), 1);
    EXPECT_EQ(results.count(), 0);
    EXPECT_EQ(indices.count(), 0);

    // A request to show the page already shown is published every time.
    QSignalSpy jumps(&model, &SharedPDFViewModel::jumpToPageChanged);
    model.readingViewSwitched();
    model.readingViewSwitched();
    EXPECT_EQ(jumps.count(), 2);
}
