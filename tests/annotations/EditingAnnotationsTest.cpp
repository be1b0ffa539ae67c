// Editing and deleting annotations, the user's and the PDF's own.

#include <gtest/gtest.h>

#include "AnnotationTestSupport.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

class EditingAnnotations : public PaneTest {};

TEST_F(EditingAnnotations, NotesAreTrimmedAndEmptyTextNotesDeleted)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addTextNote(0, QRectF(400, 600, 20, 20), QStringLiteral("remark"));
    }));
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("x"));
    const QString ownID = test::annotationsOf(model).markups().front().id.toString(QUuid::WithoutBraces).toUpper();

    test::annotationsOf(model).editAnnotation(ownID, QStringLiteral("  spaced \n"), std::nullopt);
    EXPECT_EQ(test::annotationsOf(model).markups().front().note, QStringLiteral("spaced"));
    test::annotationsOf(model).editAnnotation(ownID, QString(), std::nullopt);
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_TRUE(test::annotationsOf(model).markups().front().note.isEmpty());
    const int steps = test::annotationsOf(model).annotationUndoManager()->count();
    test::annotationsOf(model).editAnnotation(ownID, QString(), std::nullopt);
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), steps);

    const QString noteID = test::annotationsOf(model).annotationItems().back().id;
    ASSERT_EQ(test::annotationsOf(model).annotationItems().back().kind, QStringLiteral("text"));
    test::annotationsOf(model).editAnnotation(noteID, QStringLiteral(" \n\t"), std::nullopt);
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->undoText(), QStringLiteral("删除批注"));
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().back().kind, QStringLiteral("deleted"));

    test::annotationsOf(model).editAnnotation(QStringLiteral("no such item"), QStringLiteral("n"), std::nullopt);
    test::annotationsOf(model).deleteAnnotation(QStringLiteral("no such item"));
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), steps + 1);
}

TEST_F(EditingAnnotations, AColourChoiceReplacesTheColourOfThePdf)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {textRect(1, 0, 7)}, QColor(255, 0, 0), QStringLiteral("orig"));
    }));
    const QString key = test::annotationsOf(model).annotationItems().front().id;
    test::annotationsOf(model).editAnnotation(key, QStringLiteral("orig"), std::nullopt);
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().sourceKey, key);
    EXPECT_EQ(test::annotationsOf(model).markups().front().rgba, (std::vector<double>{1, 0, 0, 1}));
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->undoText(), QStringLiteral("编辑批注"));

    const QString ownID = test::annotationsOf(model).annotationItems().front().id;
    test::annotationsOf(model).editAnnotation(ownID, QStringLiteral("orig"), MarkupColor::blue);
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    EXPECT_EQ(test::annotationsOf(model).markups().front().color, QStringLiteral("blue"));
    EXPECT_FALSE(test::annotationsOf(model).markups().front().rgba);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().front().color, MarkupColor(MarkupColor::blue).color(QStringLiteral("highlight")));

    test::annotationsOf(model).annotationUndoManager()->undo();
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_EQ(test::annotationsOf(model).annotationItems().front().id, key);
}

TEST_F(EditingAnnotations, DeletingAnOwnHighlightRemovesItEverywhere)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    select(model, 0, 2, 0, 4);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    const ReadingMarkup added = test::annotationsOf(model).markups().front();
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems().front().id);
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
    EXPECT_TRUE(test::annotationsOf(model).annotationItems().empty());
    EXPECT_TRUE(shownNames(model, 0).isEmpty());
    EXPECT_EQ(fileBytes(annotationFile(model)), "[]");
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(test::annotationsOf(model).markups(), std::vector<ReadingMarkup>{added});
}
