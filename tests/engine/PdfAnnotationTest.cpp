#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

#include "support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace folvan::engine;

namespace {

constexpr double kEps = 1e-3;

void expectRect(const QRectF &actual, const QRectF &expected)
{
    EXPECT_NEAR(actual.left(), expected.left(), kEps);
    EXPECT_NEAR(actual.top(), expected.top(), kEps);
    EXPECT_NEAR(actual.width(), expected.width(), kEps);
    EXPECT_NEAR(actual.height(), expected.height(), kEps);
}

void expectColor(const std::optional<PdfColor> &actual, PdfColor expected)
{
    ASSERT_TRUE(actual.has_value());
    EXPECT_NEAR(actual->red, expected.red, 0.01);
    EXPECT_NEAR(actual->green, expected.green, 0.01);
    EXPECT_NEAR(actual->blue, expected.blue, 0.01);
    EXPECT_NEAR(actual->alpha, expected.alpha, 0.01);
}

std::shared_ptr<PdfDocument> open(const PdfFixtureWriter &writer)
{
    QString error;
    auto doc = PdfDocument::openData(writer.data(), &error);
    EXPECT_TRUE(doc) << error.toStdString();
    return doc;
}

// Page 0 carries, in /Annots order: a highlight, an internal link, a text
// note, a URI link and a free text. Page 1 is rotated and has an offset
// crop box, and no annotations.
PdfFixtureWriter annotatedFixture()
{
    PdfFixtureWriter w;
    const int p0 = w.addPage();
    const int p1 = w.addPage(QSizeF(400, 500), QRectF(50, 60, 300, 400), 90);
    w.addText(p0, QPointF(72, 700), "Marked words here", FixtureFont::Courier, 10);
    w.addHighlight(p0, {QRectF(72, 698, 60, 10), QRectF(72, 686, 30, 10)}, QColor(255, 255, 0, 128),
                   QString::fromUtf8("一条注释"), "Folvan:1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    w.addLink(p0, QRectF(72, 600, 100, 20), p1, QPointF(120, 300));
    w.addTextNote(p0, QRectF(300, 500, 20, 20), "note text", "Reader", QColor(0, 0, 255), "Comment");
    w.addUriLink(p0, QRectF(72, 500, 100, 20), "https://example.org/paper?id=7");
    w.addFreeText(p0, QRectF(100, 300, 200, 40), "free words", 14, QColor(255, 0, 0), 2, "Writer");
    return w;
}

} // namespace

TEST(PdfAnnotations, ReadsEveryPropertyOfThePagesOwnAnnotations)
{
    auto doc = open(annotatedFixture());
    ASSERT_TRUE(doc);
    const std::vector<PdfAnnotation> list = annotations(*doc, 0);
    ASSERT_EQ(list.size(), 5u);

    const PdfAnnotation &highlight = list[0];
    EXPECT_EQ(highlight.subtype, "Highlight");
    EXPECT_EQ(highlight.ordinal, 0);
    expectRect(highlight.bounds, QRectF(72, 686, 60, 22));
    ASSERT_EQ(highlight.quadPoints.size(), 8u);
    EXPECT_EQ(highlight.quadPoints[0], QPointF(72, 708));
    EXPECT_EQ(highlight.quadPoints[3], QPointF(132, 698));
    EXPECT_EQ(highlight.quadPoints[7], QPointF(102, 686));
    expectColor(highlight.color, {1, 1, 0, 0.502});
    EXPECT_EQ(highlight.contents, QString::fromUtf8("一条注释"));
    EXPECT_EQ(highlight.userName, "Folvan:1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    EXPECT_FALSE(highlight.hidden);

    const PdfAnnotation &link = list[1];
    EXPECT_EQ(link.subtype, "Link");
    EXPECT_EQ(link.ordinal, 1);
    ASSERT_TRUE(link.destination.has_value());
    EXPECT_EQ(link.destination->pageIndex, 1);
    ASSERT_TRUE(link.destination->hasPoint());
    EXPECT_NEAR(link.destination->point().x(), 120, kEps);
    EXPECT_NEAR(link.destination->point().y(), 300, kEps);
    EXPECT_TRUE(link.contents.isNull());

    const PdfAnnotation &note = list[2];
    EXPECT_EQ(note.subtype, "Text");
    EXPECT_EQ(note.iconName, "Comment");
    EXPECT_EQ(note.contents, "note text");
    EXPECT_EQ(note.userName, "Reader");
    expectColor(note.color, {0, 0, 1, 1});
    EXPECT_TRUE(note.quadPoints.empty());

    const PdfAnnotation &uri = list[3];
    EXPECT_EQ(uri.subtype, "Link");
    EXPECT_EQ(uri.uri, "https://example.org/paper?id=7");
    EXPECT_FALSE(uri.destination.has_value());

    const PdfAnnotation &free = list[4];
    EXPECT_EQ(free.subtype, "FreeText");
    EXPECT_EQ(free.fontName, "Helv");
    EXPECT_NEAR(free.fontSize, 14, kEps);
    expectColor(free.fontColor, {1, 0, 0, 1});
    EXPECT_EQ(free.alignment, 2);

    // Handles name the same annotations again; a page without annotations or
    // out of range gives none.
    const std::optional<PdfAnnotation> again = annotation(*doc, highlight.handle);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->userName, highlight.userName);
    EXPECT_TRUE(annotations(*doc, 1).empty());
    EXPECT_TRUE(annotations(*doc, 7).empty());
    EXPECT_FALSE(annotation(*doc, PdfAnnotationHandle{0, 9999}).has_value());
}

TEST(PdfAnnotations, HiddenAnnotationsComeBackUnchanged)
{
    auto doc = open(annotatedFixture());
    ASSERT_TRUE(doc);
    const std::vector<PdfAnnotation> before = annotations(*doc, 0);
    const QImage shown = doc->page(0).render(1.0);

    const PdfAnnotationHandle highlight = before[0].handle;
    const PdfAnnotationHandle note = before[2].handle;
    ASSERT_TRUE(setAnnotationHidden(*doc, highlight, true));
    ASSERT_TRUE(setAnnotationHidden(*doc, note, true));
    ASSERT_TRUE(setAnnotationHidden(*doc, note, true)); // twice is the same as once

    const std::vector<PdfAnnotation> visible = annotations(*doc, 0);
    ASSERT_EQ(visible.size(), 3u);
    EXPECT_EQ(visible[0].subtype, "Link");
    EXPECT_EQ(visible[0].ordinal, 1); // ordinals do not move while others hide
    const std::vector<PdfAnnotation> all = annotations(*doc, 0, true);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_TRUE(all[0].hidden);
    EXPECT_EQ(all[0].flags, before[0].flags);
    // Hidden annotations are no longer drawn.
    EXPECT_NE(doc->page(0).render(1.0), shown);

    ASSERT_TRUE(setAnnotationHidden(*doc, highlight, false));
    ASSERT_TRUE(setAnnotationHidden(*doc, note, false));
    const std::vector<PdfAnnotation> after = annotations(*doc, 0);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].handle, before[i].handle);
        EXPECT_EQ(after[i].subtype, before[i].subtype);
        EXPECT_EQ(after[i].bounds, before[i].bounds);
        EXPECT_EQ(after[i].quadPoints, before[i].quadPoints);
        EXPECT_EQ(after[i].color, before[i].color);
        EXPECT_EQ(after[i].contents, before[i].contents);
        EXPECT_EQ(after[i].userName, before[i].userName);
        EXPECT_EQ(after[i].flags, before[i].flags);
        EXPECT_EQ(after[i].iconName, before[i].iconName);
        EXPECT_FALSE(after[i].hidden);
    }
    EXPECT_EQ(doc->page(0).render(1.0), shown);
    EXPECT_FALSE(setAnnotationHidden(*doc, PdfAnnotationHandle{0, 9999}, true));
}

// A mark without /F, as most papers' are, hidden and shown again is what it was; a copy made
// meanwhile leaves it out without a trace of the hiding.
TEST(PdfAnnotations, AnAnnotationWithoutFlagsHidesAndComesBack)
{
    PdfFixtureWriter w;
    w.addPage();
    w.addRawAnnotation(0, "/Subtype /StrikeOut /Rect [72 690 172 710] /QuadPoints [72 710 172 710 72 690 172 690]"
                          " /C [1 0 0] /Contents (struck words)");
    auto doc = open(w);
    ASSERT_TRUE(doc);
    const QImage shown = doc->page(0).render(1.0);
    const PdfAnnotationHandle handle = annotations(*doc, 0).at(0).handle;

    ASSERT_TRUE(setAnnotationHidden(*doc, handle, true));
    EXPECT_TRUE(annotations(*doc, 0).empty());
    EXPECT_NE(doc->page(0).render(1.0), shown);
    const QByteArray hiddenCopy = annotatedCopyData(*doc);
    ASSERT_FALSE(hiddenCopy.isEmpty());
    EXPECT_FALSE(hiddenCopy.contains("struck words"));
    EXPECT_FALSE(hiddenCopy.contains("Folvan"));

    ASSERT_TRUE(setAnnotationHidden(*doc, handle, false));
    const std::vector<PdfAnnotation> back = annotations(*doc, 0, true);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_FALSE(back[0].hidden);
    EXPECT_EQ(back[0].flags, 0);
    EXPECT_EQ(doc->page(0).render(1.0), shown);
    const QByteArray shownCopy = annotatedCopyData(*doc);
    EXPECT_TRUE(shownCopy.contains("struck words"));
    EXPECT_FALSE(shownCopy.contains("Folvan"));
    EXPECT_FALSE(shownCopy.contains("/F "));
}

TEST(PdfAnnotations, CreatesAndRemovesMarkupsInUserSpaceOnRotatedPages)
{
    auto doc = open(annotatedFixture());
    ASSERT_TRUE(doc);
    const QImage plain = doc->page(1).render(1.0);

    PdfNewAnnotation blueprint;
    blueprint.subtype = "Underline";
    blueprint.rects = {QRectF(100, 200, 50, 12), QRectF(100, 180, 30, 12)};
    blueprint.color = {1, 0, 0, 0.5};
    blueprint.contents = "under";
    blueprint.userName = "Folvan:ABC";
    QString error;
    const PdfAnnotationHandle handle = createAnnotation(*doc, 1, blueprint, &error);
    ASSERT_TRUE(handle.isValid()) << error.toStdString();
    EXPECT_EQ(handle.pageIndex, 1);

    const std::vector<PdfAnnotation> list = annotations(*doc, 1);
    ASSERT_EQ(list.size(), 1u);
    const PdfAnnotation &made = list[0];
    EXPECT_EQ(made.handle, handle);
    EXPECT_EQ(made.subtype, "Underline");
    // /Rect is grown to hold the drawn appearance.
    EXPECT_TRUE(made.bounds.contains(QRectF(100, 180, 50, 32))) << made.bounds.width();
    EXPECT_TRUE(QRectF(98, 178, 54, 36).contains(made.bounds));
    ASSERT_EQ(made.quadPoints.size(), 8u);
    EXPECT_EQ(made.quadPoints[0], QPointF(100, 212));
    EXPECT_EQ(made.quadPoints[1], QPointF(150, 212));
    EXPECT_EQ(made.quadPoints[2], QPointF(100, 200));
    EXPECT_EQ(made.quadPoints[7], QPointF(130, 180));
    expectColor(made.color, {1, 0, 0, 0.5});
    EXPECT_EQ(made.contents, "under");
    EXPECT_EQ(made.userName, "Folvan:ABC");
    EXPECT_TRUE(made.modificationDate.isValid());
    // The page is drawn again with the new annotation.
    EXPECT_NE(doc->page(1).render(1.0), plain);

    // Text and free text take over an icon, a font and an alignment.
    PdfNewAnnotation text;
    text.subtype = "Text";
    text.rects = {QRectF(200, 300, 20, 20)};
    text.iconName = "Key";
    EXPECT_EQ(annotation(*doc, createAnnotation(*doc, 1, text))->iconName, "Key");
    PdfNewAnnotation free;
    free.subtype = "FreeText";
    free.rects = {QRectF(60, 70, 100, 30)};
    free.contents = "boxed";
    free.fontName = "Cour";
    free.fontSize = 9;
    free.fontColor = PdfColor{0, 0, 1, 1};
    free.alignment = 1;
    const std::optional<PdfAnnotation> madeFree = annotation(*doc, createAnnotation(*doc, 1, free));
    ASSERT_TRUE(madeFree.has_value());
    EXPECT_EQ(madeFree->fontName, "Cour");
    EXPECT_NEAR(madeFree->fontSize, 9, kEps);
    expectColor(madeFree->fontColor, {0, 0, 1, 1});
    EXPECT_EQ(madeFree->alignment, 1);
    EXPECT_TRUE(madeFree->userName.isNull());

    EXPECT_TRUE(removeAnnotation(*doc, handle));
    EXPECT_FALSE(removeAnnotation(*doc, handle));
    EXPECT_EQ(annotations(*doc, 1).size(), 2u);

    // What cannot be made is refused.
    PdfNewAnnotation ink;
    ink.subtype = "Ink";
    ink.rects = {QRectF(0, 0, 10, 10)};
    EXPECT_FALSE(createAnnotation(*doc, 1, ink, &error).isValid());
    EXPECT_FALSE(error.isEmpty());
    PdfNewAnnotation nowhere;
    EXPECT_FALSE(createAnnotation(*doc, 1, nowhere).isValid());
    EXPECT_FALSE(createAnnotation(*doc, 5, blueprint).isValid());
}

// A change of a page's annotations records only the annotations again:
// the recorded contents stay and are drawn under the new annotations.
TEST(PdfAnnotations, AnAnnotationChangeKeepsThePagesRecordedContents)
{
    auto doc = open(annotatedFixture());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(1);
    const auto contents = page.displayList(false);
    const auto before = page.displayList(true);
    ASSERT_TRUE(contents && before);
    EXPECT_EQ(page.displayList(false), contents);
    const QImage plain = before->render(1.0);
    EXPECT_EQ(plain, page.render(1.0, false));

    PdfNewAnnotation blueprint;
    blueprint.rects = {QRectF(100, 200, 50, 12)};
    const PdfAnnotationHandle handle = createAnnotation(*doc, 1, blueprint);
    ASSERT_TRUE(handle.isValid());
    EXPECT_EQ(page.displayList(false), contents);
    const auto after = page.displayList(true);
    ASSERT_TRUE(after && after != before);
    const QImage marked = after->render(1.0);
    EXPECT_NE(marked, plain);
    // The same as the page drawn in one go, with no list recorded.
    auto fresh = open(annotatedFixture());
    ASSERT_TRUE(createAnnotation(*fresh, 1, blueprint).isValid());
    EXPECT_EQ(fresh->page(1).render(1.0), marked);

    EXPECT_TRUE(removeAnnotation(*doc, handle));
    EXPECT_EQ(page.displayList(false), contents);
    EXPECT_EQ(page.displayList(true)->render(1.0), plain);
}

// Made together: each as if made alone, in order, one refusal not
// stopping the others.
TEST(PdfAnnotations, AnnotationsMadeTogetherEachGetTheirHandleAndLook)
{
    auto doc = open(annotatedFixture());
    ASSERT_TRUE(doc);
    std::vector<PdfPlacedAnnotation> made;
    for (int i = 0; i < 3; ++i) {
        PdfNewAnnotation blueprint;
        blueprint.rects = {QRectF(100, 200 + 20 * i, 50, 12)};
        blueprint.userName = QStringLiteral("Folvan:%1").arg(i);
        made.push_back({i == 1 ? 7 : 1, blueprint});
    }
    PdfNewAnnotation note;
    note.subtype = "Text";
    note.rects = {QRectF(300, 300, 20, 20)};
    note.contents = "alone";
    made.push_back({1, note});
    QString error;
    const std::vector<PdfAnnotationHandle> handles = createAnnotations(*doc, made, &error);
    ASSERT_EQ(handles.size(), 4u);
    EXPECT_FALSE(handles[1].isValid());
    EXPECT_FALSE(error.isEmpty());
    const std::vector<PdfAnnotation> list = annotations(*doc, 1);
    // The text note comes without a pop-up of its own.
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].handle, handles[0]);
    EXPECT_EQ(list[0].userName, "Folvan:0");
    EXPECT_EQ(list[1].handle, handles[2]);
    EXPECT_EQ(list[1].userName, "Folvan:2");
    EXPECT_TRUE(list[1].bounds.contains(QRectF(100, 240, 50, 12)));
    EXPECT_EQ(list[2].handle, handles[3]);
    EXPECT_EQ(list[2].subtype, "Text");
    expectColor(list[0].color, {1, 1, 0, 1});
}

TEST(PdfAnnotations, APageThatCannotTakeAnnotationsRefusesThemAndStaysUsable)
{
    QString error;
    auto doc = PdfDocument::openData(folvan::test::pdfWhosePageTakesNoAnnotations(), &error);
    ASSERT_TRUE(doc) << error.toStdString();
    PdfNewAnnotation blueprint;
    blueprint.rects = {QRectF(20, 20, 100, 12)};
    for (int attempt = 0; attempt < 2; ++attempt) {
        error.clear();
        EXPECT_FALSE(createAnnotation(*doc, 0, blueprint, &error).isValid());
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(annotations(*doc, 0).empty());
    EXPECT_FALSE(doc->page(0).render(1.0).isNull());
    doc.reset();
}

class AnnotatedCopy : public folvan::test::TempHomeTest {};

TEST_F(AnnotatedCopy, HoldsCreatedAnnotationsAndLeavesOutHiddenOnes)
{
    const QString original = path("paper.pdf");
    ASSERT_TRUE(annotatedFixture().save(original));
    QFile originalFile(original);
    ASSERT_TRUE(originalFile.open(QIODevice::ReadOnly));
    const QByteArray originalBytes = originalFile.readAll();
    originalFile.close();

    QString error;
    auto doc = PdfDocument::open(original, &error);
    ASSERT_TRUE(doc) << error.toStdString();
    const std::vector<PdfAnnotation> own = annotations(*doc, 0);
    ASSERT_TRUE(setAnnotationHidden(*doc, own[0].handle, true)); // the highlight
    PdfNewAnnotation blueprint;
    blueprint.subtype = "Squiggly";
    blueprint.rects = {QRectF(72, 698, 40, 10)};
    blueprint.color = {0, 1, 0, 1};
    blueprint.userName = "Folvan:DEF";
    blueprint.contents = QString::fromUtf8("新的");
    ASSERT_TRUE(createAnnotation(*doc, 0, blueprint).isValid());

    // The opened file itself is refused, by its own path or another one.
    EXPECT_FALSE(writeAnnotatedCopy(*doc, original, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(writeAnnotatedCopy(*doc, root() + "/./paper.pdf"));

    const QString copy = path("paper-copy.pdf");
    ASSERT_TRUE(writeAnnotatedCopy(*doc, copy, &error)) << error.toStdString();
    auto reopened = PdfDocument::open(copy, &error);
    ASSERT_TRUE(reopened) << error.toStdString();
    const std::vector<PdfAnnotation> copied = annotations(*reopened, 0, true);
    ASSERT_EQ(copied.size(), 5u);
    EXPECT_EQ(copied[0].subtype, "Link");
    EXPECT_EQ(copied.back().subtype, "Squiggly");
    EXPECT_EQ(copied.back().userName, "Folvan:DEF");
    EXPECT_EQ(copied.back().contents, QString::fromUtf8("新的"));
    EXPECT_TRUE(copied.back().bounds.contains(QRectF(72, 698, 40, 10)));
    for (const PdfAnnotation &a : copied)
        EXPECT_NE(a.subtype, "Highlight");
    // The hidden highlight's object is not carried along unused.
    QFile copyFile(copy);
    ASSERT_TRUE(copyFile.open(QIODevice::ReadOnly));
    EXPECT_FALSE(copyFile.readAll().contains("1B4E28BA"));

    // The in-memory document still has its hidden highlight, and the paper
    // file is untouched.
    EXPECT_EQ(annotations(*doc, 0, true).size(), 6u);
    ASSERT_TRUE(originalFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(originalFile.readAll(), originalBytes);

    // A target in a missing folder fails with a reason and writes nothing.
    EXPECT_FALSE(writeAnnotatedCopy(*doc, path("missing/copy.pdf"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// A hidden comment leaves nothing of itself in the copy, whatever names it
// (its pop-up, a reply's /IRT, the page's resources); its reply stays.
// Shown again, it is copied whole.
TEST(PdfAnnotations, AHiddenCommentLeavesNoTraceInTheCopyButItsReply)
{
    PdfFixtureWriter w;
    w.addPage();
    w.addHighlight(0, {QRectF(72, 650, 60, 10)}, QColor(255, 255, 0), "kept");
    const int comment = w.addReviewComment(0, QRectF(72, 698, 72, 10), "reviewer comment", "author answer");
    w.addResource(0, "Properties", "Mark", QByteArray::number(comment) + " 0 R");
    auto doc = open(w);
    ASSERT_TRUE(doc);
    const auto copied = [&] {
        QStringList found;
        const QByteArray bytes = annotatedCopyData(*doc);
        if (auto copy = PdfDocument::openData(bytes))
            for (const PdfAnnotation &a : annotations(*copy, 0, true))
                found << a.subtype + u' ' + a.contents;
        for (const char *trace : {"reviewer comment", "Reviewer", "/IRT", "Folvan"})
            if (bytes.contains(trace))
                found << trace;
        return found.join(u',').toStdString();
    };
    ASSERT_TRUE(setAnnotationHidden(*doc, {0, comment}, true));
    EXPECT_EQ(copied(), "Highlight kept,Text author answer");
    ASSERT_TRUE(setAnnotationHidden(*doc, {0, comment}, false));
    EXPECT_EQ(copied(), "Highlight kept,StrikeOut reviewer comment,Popup ,Text author answer,"
                        "reviewer comment,Reviewer,/IRT");
}

// Two of the paper's highlights, A and B, share one pop-up whose /Parent
// is B or A, listed in /Annots or not. With A deleted, the pop-up stays
// with B or leaves with A; nothing names it as null and none of the
// reader's own keys comes along.
TEST(PdfAnnotations, APopUpSharedByTwoCommentsLeavesOnlyWithItsParent)
{
    const auto ref = [](int number) { return QByteArray::number(number) + " 0 R"; };
    for (const bool parentIsKept : {true, false}) {
        for (const bool listed : {true, false}) {
            SCOPED_TRACE(testing::Message() << "parent kept " << parentIsKept << ", listed " << listed);
            PdfFixtureWriter w;
            w.addPage();
            const int a = w.reserveObject(), b = w.reserveObject();
            const QByteArray popupDict = "/Subtype /Popup /Rect [300 600 400 700] /Parent " + ref(parentIsKept ? b : a);
            const int popup = listed ? w.reserveObject() : w.addRawObject("<< /Type /Annot " + popupDict + " >>");
            const QByteArray highlight = "/Subtype /Highlight /Rect [72 650 144 708] /Popup " + ref(popup);
            w.addRawAnnotation(0, highlight + " /Contents (deleted words)", a);
            w.addRawAnnotation(0, highlight + " /Contents (kept words)", b);
            if (listed)
                w.addRawAnnotation(0, popupDict, popup);
            auto doc = open(w);
            ASSERT_TRUE(doc && setAnnotationHidden(*doc, {0, a}, true));

            const QByteArray bytes = annotatedCopyData(*doc);
            QStringList copied;
            if (auto copy = PdfDocument::openData(bytes))
                for (const PdfAnnotation &annotation : annotations(*copy, 0, true))
                    copied << annotation.subtype + u' ' + annotation.contents;
            EXPECT_EQ(copied.join(u',').toStdString(),
                      parentIsKept && listed ? "Highlight kept words,Popup " : "Highlight kept words");
            for (const char *trace : {"deleted words", "Folvan", "null"})
                EXPECT_FALSE(bytes.contains(trace)) << trace;
            if (parentIsKept)
                EXPECT_TRUE(bytes.contains("/Popup " + ref(popup)) && bytes.contains("/Parent " + ref(b)));
            else
                EXPECT_FALSE(bytes.contains("/Popup"));
        }
    }
}

// Annotations put off until their page is needed look, list and copy out
// as if made at once; a page that cannot take them refuses to put them off.
TEST(PdfAnnotations, AnnotationsPutOffAreMadeWhenThePageIsFirstNeeded)
{
    std::vector<PdfNewAnnotation> blueprints(2);
    blueprints[0].rects = {QRectF(100, 200, 50, 12)};
    blueprints[1].subtype = "Underline";
    blueprints[1].rects = {QRectF(100, 240, 50, 12)};
    const std::vector<PdfPlacedAnnotation> placed = {{1, blueprints[0]}, {1, blueprints[1]}};
    auto made = open(annotatedFixture());
    ASSERT_EQ(createAnnotations(*made, placed).size(), 2u);

    // Drawn.
    auto drawn = open(annotatedFixture());
    const QImage plain = drawn->page(1).render(1.0);
    ASSERT_TRUE(deferAnnotations(*drawn, 1, blueprints));
    EXPECT_EQ(drawn->page(1).render(1.0), made->page(1).render(1.0));
    EXPECT_NE(drawn->page(1).render(1.0), plain);

    // Listed, then handed out once, in order.
    auto listed = open(annotatedFixture());
    ASSERT_TRUE(deferAnnotations(*listed, 1, blueprints));
    const std::vector<PdfAnnotation> list = annotations(*listed, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].subtype, "Underline");
    const std::vector<PdfAnnotationHandle> handles = takeDeferredAnnotations(*listed, 1);
    ASSERT_EQ(handles.size(), 2u);
    EXPECT_EQ(handles[0], list[0].handle);
    EXPECT_EQ(handles[1], list[1].handle);
    EXPECT_TRUE(takeDeferredAnnotations(*listed, 1).empty());
    EXPECT_TRUE(removeAnnotation(*listed, handles[0]));
    EXPECT_EQ(annotations(*listed, 1).size(), 1u);

    // Copied out, never drawn nor listed.
    auto copied = open(annotatedFixture());
    ASSERT_TRUE(deferAnnotations(*copied, 1, blueprints));
    QString error;
    auto copy = PdfDocument::openData(annotatedCopyData(*copied, &error), &error);
    ASSERT_TRUE(copy) << error.toStdString();
    EXPECT_EQ(annotations(*copy, 1).size(), 2u);

    auto damaged = PdfDocument::openData(folvan::test::pdfWhosePageTakesNoAnnotations(), &error);
    ASSERT_TRUE(damaged);
    EXPECT_FALSE(deferAnnotations(*damaged, 0, blueprints));
    EXPECT_FALSE(deferAnnotations(*damaged, 3, blueprints));
    EXPECT_TRUE(takeDeferredAnnotations(*damaged, 0).empty());
}
