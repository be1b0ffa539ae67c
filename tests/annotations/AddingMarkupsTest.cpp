// Highlighting and underlining a selection, merged with the overlapping
// annotations of the same kind, and the hand-over of a reflow selection.

#include "support/SharedPDFViewModelTestPeer.h"
#include <gtest/gtest.h>

#include "AnnotationTestSupport.h"
#include "annotations/MarkupMerging.h"
#include "annotations/ReflowTextMap.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

TEST(MergingRules, EdgesAndThinOverlapsDoNotMerge)
{
    const QRectF line(100, 100, 50, 10);
    EXPECT_TRUE(mergeOverlapping({line}, {{QRectF(150, 100, 20, 10)}}).merged.empty());  // touching edge
    EXPECT_TRUE(mergeOverlapping({line}, {{QRectF(149.5, 100, 20, 10)}}).merged.empty()); // 0.5 wide
    EXPECT_EQ(mergeOverlapping({line}, {{QRectF(149.4, 100, 20, 10)}}).merged.size(), 1u);
    // The shared height must exceed 0.4 of the smaller height.
    EXPECT_TRUE(mergeOverlapping({line}, {{QRectF(120, 106, 20, 10)}}).merged.empty());
    EXPECT_EQ(mergeOverlapping({line}, {{QRectF(120, 105.9, 20, 10)}}).merged.size(), 1u);
}

TEST(MergingRules, ChainsAndBridgesMergeWhole)
{
    const QRectF line(100, 100, 50, 10);
    // B touches only A; A overlaps the line. B is listed first.
    const std::vector<std::vector<QRectF>> chain = {{QRectF(190, 100, 30, 10)}, {QRectF(140, 100, 60, 10)}};
    const MergeResult merged = mergeOverlapping({line}, chain);
    EXPECT_EQ(merged.merged, (std::vector<size_t>{1, 0}));
    EXPECT_EQ(merged.region.size(), 3u);
    EXPECT_TRUE(mergeOverlapping({line}, {{QRectF(300, 100, 10, 10)}}).merged.empty());
}

TEST(MergingRules, NotesAreJoinedWithoutRepeats)
{
    EXPECT_EQ(joinNotes({"A", "", "A"}, QStringLiteral("  A \n")), QStringLiteral("A"));
    EXPECT_EQ(joinNotes({"A", "", "A"}, QStringLiteral("B")), QStringLiteral("A\n\nB"));
    EXPECT_EQ(joinNotes({}, QStringLiteral("  ")), QString());
}

class AddingMarkups : public PaneTest {};

TEST_F(AddingMarkups, ANewHighlightTakesThePreferredColour)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    test::annotationsOf(model).markupColorChosen(MarkupColor::green);
    select(model, 0, 0, 6, 10);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("  why? "));
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    const ReadingMarkup &m = test::annotationsOf(model).markups().front();
    EXPECT_EQ(m.color, QStringLiteral("green"));
    EXPECT_FALSE(m.rgba);
    EXPECT_FALSE(m.sourceKey);
    EXPECT_EQ(m.quote, QStringLiteral("beta"));
    EXPECT_EQ(m.note, QStringLiteral("why?"));
    EXPECT_EQ(m.rectangles.size(), 1u);
    // The selection stays for the next command.
    EXPECT_TRUE(model.retainedSelection());
    EXPECT_FALSE(model.selectionText().isEmpty());

    test::annotationsOf(model).addMarkup(QStringLiteral("strikeout"), QString());
    // A text left without its selection.
    model.pageSelectionChanged(std::nullopt);
    model::SharedPDFViewModelTestPeer(&model).setSelectionText(QStringLiteral("beta"));
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), 1);
}

TEST_F(AddingMarkups, OverlapsMergeWithinTheirKindOnly)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    test::annotationsOf(model).markupColorChosen(MarkupColor::green);
    select(model, 0, 0, 0, 10);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("A"));
    const QUuid greenID = test::annotationsOf(model).markups().front().id;
    select(model, 0, 1, 0, 7);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    select(model, 0, 0, 6, 16);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 3u);

    test::annotationsOf(model).markupColorChosen(MarkupColor::pink);
    select(model, 0, 0, 6, 16);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QStringLiteral("B"));
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 3u);
    const ReadingMarkup &merged = test::annotationsOf(model).markups().back();
    EXPECT_EQ(merged.id, greenID);
    EXPECT_EQ(merged.color, QStringLiteral("green"));
    EXPECT_EQ(merged.quote, QStringLiteral("alpha beta gamma"));
    EXPECT_EQ(merged.note, QStringLiteral("A\n\nB"));
    EXPECT_EQ(test::annotationsOf(model).markups()[1].kind, QStringLiteral("underline"));
}

TEST_F(AddingMarkups, AQuoteAcrossAColumnBreakReadsInTheSelectionsOrder)
{
    // Two columns: the passage runs from the foot of the left one to the
    // head of the right one, higher on the page.
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addText(0, QPointF(72, 700), QStringLiteral("Left column head"), engine::FixtureFont::Courier, 10);
    writer.addText(0, QPointF(72, 100), QStringLiteral("of list definitions,"), engine::FixtureFont::Courier, 10);
    writer.addText(0, QPointF(320, 700), QStringLiteral("and the use of the"), engine::FixtureFont::Courier, 10);
    writer.addText(0, QPointF(320, 686), QStringLiteral("right column goes on"), engine::FixtureFont::Courier, 10);
    ASSERT_TRUE(writer.save(path("columns.pdf")));
    model::SharedPDFViewModel &model = openPane(path("columns.pdf"));
    const engine::PdfPage page = model.pdfDocument()->page(0);
    const QString text = page.string();
    const int from = int(text.indexOf(QStringLiteral("list definitions,")));
    const int to = int(text.indexOf(QStringLiteral("and the use of the"))) + 18;
    ASSERT_GE(from, 0);
    ASSERT_GT(to, from);
    model.pageSelectionChanged(page.selection(engine::PdfTextRange{from, to - from}));

    for (const QString &kind : {QStringLiteral("highlight"), QStringLiteral("underline")}) {
        test::annotationsOf(model).addMarkup(kind, QString());
        const ReadingMarkup &m = test::annotationsOf(model).markups().back();
        EXPECT_EQ(m.kind, kind);
        EXPECT_EQ(m.quote, QStringLiteral("list definitions,\nand the use of the"));
    }
    // Grown by a line of the right column, the merged highlight still reads
    // down the left column first.
    const int again = int(text.indexOf(QStringLiteral("the use of the")));
    const int more = int(text.indexOf(QStringLiteral("right column goes on"))) + 12;
    model.pageSelectionChanged(page.selection(engine::PdfTextRange{again, more - again}));
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 2u);
    EXPECT_EQ(test::annotationsOf(model).markups().back().quote,
              QStringLiteral("list definitions,\nand the use of the\nright column"));
}

TEST_F(AddingMarkups, HighlightingAnOriginalReplacesIt)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {textRect(0, 0, 5)}, QColor(0, 0, 255, 128), QStringLiteral("first"), QStringLiteral("Ann"));
        w.addHighlight(0, {textRect(0, 11, 16)}, QColor(255, 0, 0), QStringLiteral("second"), QStringLiteral("Bo"));
    }));
    ASSERT_EQ(test::annotationsOf(model).annotationItems().size(), 2u);
    const QString firstKey = test::annotationsOf(model).annotationItems()[0].id;
    const QString secondKey = test::annotationsOf(model).annotationItems()[1].id;

    select(model, 0, 0, 3, 8);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 1u);
    const ReadingMarkup replacing = test::annotationsOf(model).markups().front();
    EXPECT_EQ(replacing.sourceKey, firstKey);
    EXPECT_FALSE(replacing.color);
    ASSERT_TRUE(replacing.rgba);
    EXPECT_NEAR((*replacing.rgba)[2], 1.0, 1e-6);
    EXPECT_NEAR((*replacing.rgba)[3], 128 / 255.0, 0.01);
    EXPECT_EQ(shownNames(model, 0).count(QStringLiteral("Ann")), 0);
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 2u);

    // Bridging to the second original: one markup keeps the first key, a
    // tombstone with a new id hides the second.
    select(model, 0, 0, 6, 12);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 2u);
    EXPECT_EQ(test::annotationsOf(model).markups()[0].kind, QStringLiteral("deleted"));
    EXPECT_EQ(test::annotationsOf(model).markups()[0].sourceKey, secondKey);
    EXPECT_EQ(test::annotationsOf(model).markups()[0].note, QStringLiteral("second"));
    EXPECT_EQ(test::annotationsOf(model).markups()[1].id, replacing.id);
    EXPECT_EQ(test::annotationsOf(model).markups()[1].note, QStringLiteral("first\n\nsecond"));
    EXPECT_EQ(test::annotationsOf(model).annotationItems().size(), 1u);

    test::annotationsOf(model).annotationUndoManager()->undo();
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_EQ(shownNames(model, 0), QStringList({"Ann", "Bo"}));
}

TEST_F(AddingMarkups, ASelectionOverThreePagesIsOneStep)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 3));
    const std::shared_ptr<engine::PdfDocument> &document = model.pdfDocument();
    const engine::PdfSelection selection =
        document->selection(document->page(0), QPointF(kLeft + 1, 703), document->page(2), QPointF(kLeft + 20, 663));
    ASSERT_EQ(selection.pages().size(), 3u);
    model.pageSelectionChanged(selection);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().size(), 3u);
    EXPECT_EQ(test::annotationsOf(model).markups()[0].page, 0);
    EXPECT_EQ(test::annotationsOf(model).markups()[2].page, 2);
    EXPECT_EQ(test::annotationsOf(model).markups()[1].rectangles.size(), 3u);
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->count(), 1);
    EXPECT_EQ(test::annotationsOf(model).annotationUndoManager()->undoText(), QStringLiteral("添加下划线"));
    test::annotationsOf(model).annotationUndoManager()->undo();
    EXPECT_TRUE(test::annotationsOf(model).markups().empty());
}

class ReflowSelection : public PaneTest {};

TEST_F(ReflowSelection, IsTakenOverOnlyWhenEveryPassageIsFound)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 2));
    model::ReadingTextSource passage;
    passage.page = 1;
    passage.quote = QStringLiteral("Kappa  LAMBDA");
    EXPECT_TRUE(test::annotationsOf(model).acceptReflowSelection({passage}));
    ASSERT_TRUE(model.retainedSelection());
    EXPECT_EQ(model.retainedSelection()->string(), QStringLiteral("kappa lambda"));
    EXPECT_EQ(model.selectionText(), passage.quote);
    ASSERT_TRUE(model.retainedDestination());
    EXPECT_EQ(model.retainedDestination()->pageIndex, 1);
    test::annotationsOf(model).addMarkup(QStringLiteral("highlight"), QString());
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);

    EXPECT_FALSE(test::annotationsOf(model).acceptReflowSelection(std::vector<model::ReadingTextSource>(65, passage)));
    model::ReadingTextSource missing = passage;
    missing.quote = QStringLiteral("omega");
    EXPECT_FALSE(test::annotationsOf(model).acceptReflowSelection({passage, missing}));
    EXPECT_FALSE(model.retainedSelection());
    EXPECT_EQ(model.reflowSources().size(), 2u);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    EXPECT_EQ(test::annotationsOf(model).markups().size(), 1u);

    EXPECT_TRUE(test::annotationsOf(model).acceptReflowSelection({}));
    EXPECT_TRUE(model.selectionText().isEmpty());
}
