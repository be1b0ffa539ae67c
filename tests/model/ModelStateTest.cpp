// The model's own state: repeated requests notify, and only the pane's own
// undo stack drives its undo and redo flags.

#include "model/SharedPDFViewModel.h"

#include <QSignalSpy>
#include <QUndoStack>

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

TEST(ModelState, OnlyThePanesOwnUndoStackMovesItsUndoFlags)
{
    SharedPDFViewModel model;
    QUndoStack other;
    other.push(new QUndoCommand(QStringLiteral("elsewhere")));
    EXPECT_FALSE(model.canUndoAnnotation());

    model.annotationUndoManager()->push(new QUndoCommand(QStringLiteral("mark")));
    EXPECT_TRUE(model.canUndoAnnotation());
    EXPECT_FALSE(model.canRedoAnnotation());
    model.annotationUndoManager()->undo();
    EXPECT_FALSE(model.canUndoAnnotation());
    EXPECT_TRUE(model.canRedoAnnotation());
    other.undo();
    EXPECT_TRUE(model.canRedoAnnotation());
}
