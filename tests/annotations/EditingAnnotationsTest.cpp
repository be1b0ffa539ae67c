// Editing and deleting annotations, the user's and the PDF's own.

#include <gtest/gtest.h>

#include "AnnotationTestSupport.h"

using namespace folvan;
using namespace folvan::test;

class EditingAnnotations : public PaneTest {};

TEST_F(EditingAnnotations, NotesAreTrimmedAndEmptyTextNotesDeleted)
{
    SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addTextNote(0, QRectF(400, 600, 20, 20), QStringLiteral("remark"));
    }));
    select(model, 0, 0, 0, 5);
    model.addMarkup(QStringLiteral("highlight"), QStringLiteral("x"));
    const QString ownID = model.markups().front().id.toString(QUuid::WithoutBraces).toUpper();

    model.editAnnotation(ownID, QStringLiteral("  spaced \n"), std::nullopt);
    EXPECT_EQ(model.markups().front().note, QStringLiteral("spaced"));
    model.editAnnotation(ownID, QString(), std::nullopt);
    ASSERT_EQ(model.markups().size(), 1u);
    EXPECT_TRUE(model.markups().front().note.isEmpty());
    const int steps = model.annotationUndoManager()->count();
    model.editAnnotation(ownID, QString(), std::nullopt);
    EXPECT_EQ(model.annotationUndoManager()->count(), steps);

    const QString noteID = model.annotationItems().back().id;
    ASSERT_EQ(model.annotationItems().back().kind, QStringLiteral("text"));
    model.editAnnotation(noteID, QStringLiteral(" \n\t"), std::nullopt);
    EXPECT_EQ(model.annotationUndoManager()->undoText(), QStringLiteral("删除批注"));
    EXPECT_EQ(model.annotationItems().size(), 1u);
    EXPECT_EQ(model.markups().back().kind, QStringLiteral("deleted"));

    model.editAnnotation(QStringLiteral("no such item"), QStringLiteral("n"), std::nullopt);
    model.deleteAnnotation(QStringLiteral("no such item"));
    EXPECT_EQ(model.annotationUndoManager()->count(), steps + 1);
}

TEST_F(EditingAnnotations, AColourChoiceReplacesTheColourOfThePdf)
{
    SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {textRect(1, 0, 7)}, QColor(255, 0, 0), QStringLiteral("orig"));
    }));
    const QString key = model.annotationItems().front().id;
    model.editAnnotation(key, QStringLiteral("orig"), std::nullopt);
    ASSERT_EQ(model.markups().size(), 1u);
    EXPECT_EQ(model.markups().front().sourceKey, key);
    EXPECT_EQ(model.markups().front().rgba, (std::vector<double>{1, 0, 0, 1}));
    EXPECT_EQ(model.annotationUndoManager()->undoText(), QStringLiteral("编辑批注"));

    const QString ownID = model.annotationItems().front().id;
    model.editAnnotation(ownID, QStringLiteral("orig"), MarkupColor::blue);
    ASSERT_EQ(model.markups().size(), 1u);
    EXPECT_EQ(model.markups().front().color, QStringLiteral("blue"));
    EXPECT_FALSE(model.markups().front().rgba);
    EXPECT_EQ(model.annotationItems().front().color, MarkupColor(MarkupColor::blue).color(QStringLiteral("highlight")));

    model.annotationUndoManager()->undo();
    model.annotationUndoManager()->undo();
    EXPECT_TRUE(model.markups().empty());
    EXPECT_EQ(model.annotationItems().front().id, key);
}

TEST_F(EditingAnnotations, DeletingAnOwnHighlightRemovesItEverywhere)
{
    SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    select(model, 0, 2, 0, 4);
    model.addMarkup(QStringLiteral("highlight"), QString());
    const ReadingMarkup added = model.markups().front();
    model.deleteAnnotation(model.annotationItems().front().id);
    EXPECT_TRUE(model.markups().empty());
    EXPECT_TRUE(model.annotationItems().empty());
    EXPECT_TRUE(shownNames(model, 0).isEmpty());
    EXPECT_EQ(fileBytes(annotationFile(model)), "[]");
    model.annotationUndoManager()->undo();
    EXPECT_EQ(model.markups(), std::vector<ReadingMarkup>{added});
}
