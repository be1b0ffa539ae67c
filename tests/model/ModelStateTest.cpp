// The model's own state: repeated requests notify, and the annotations
// handed to the model are reached only through their interface.

#include "model/SharedPDFViewModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace folvan;

TEST(ModelState, ARepeatedRequestIsPublishedAgain)
{
    SharedPDFViewModel model;
    QSignalSpy turns(&model, &SharedPDFViewModel::bookTurnRequestChanged);
    const BookTurnRequest request = BookTurnRequest::make(true);
    model.setBookTurnRequest(request);
    model.setBookTurnRequest(request);
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
