// The annotated copy, the overlay rows of page images, passage locations
// and the Markdown summary.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "AnnotationTestSupport.h"
#include "annotations/AnnotationGeometry.h"
#include "support/PaneAnnotationsOf.h"

using namespace folvan;
using namespace folvan::annotations;
using namespace folvan::test;

class AnnotatedCopy : public PaneTest {};

TEST_F(AnnotatedCopy, ReopensWithTheMarkupsAndWithoutDeletedOriginals)
{
    const QString paper = writePaper(path("paper.pdf"), 1, [](auto &w) {
        w.addHighlight(0, {textRect(1, 0, 7)}, QColor(255, 0, 0), {}, QStringLiteral("Gone"));
        w.addHighlight(0, {textRect(2, 0, 4)}, QColor(0, 255, 0), {}, QStringLiteral("Kept"));
    });
    const QByteArray paperBytes = fileBytes(paper);
    model::SharedPDFViewModel &model = openPane(paper);
    select(model, 0, 0, 0, 5);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QStringLiteral("note"));
    test::annotationsOf(model).deleteAnnotation(test::annotationsOf(model).annotationItems()[1].id); // "Gone", on line 1
    const QString installed = installedName(test::annotationsOf(model).markups().front().id);

    auto chooser = std::make_shared<FixedChooser>(path("out/copy.pdf"));
    exportChooser = chooser;
    QDir().mkpath(path("out"));
    test::annotationsOf(model).exportAnnotatedPDF();
    EXPECT_EQ(chooser->proposed, QStringLiteral("paper-批注.pdf"));
    EXPECT_EQ(chooser->offeredSuffix, QStringLiteral("pdf"));
    EXPECT_FALSE(test::annotationsOf(model).markupError());
    EXPECT_EQ(fileBytes(paper), paperBytes);

    std::shared_ptr<engine::PdfDocument> copy = engine::PdfDocument::open(chooser->path);
    ASSERT_TRUE(copy);
    QStringList names;
    for (const engine::PdfAnnotation &a : engine::annotations(*copy, 0))
        names << a.userName;
    names.sort();
    EXPECT_EQ(names, QStringList({installed, "Kept"}));

    // Opened again with the same markups, the copy shows each markup once.
    model::SharedPDFViewModel &again = openPane(chooser->path);
    test::annotationsOf(again).commitAnnotations(test::annotationsOf(model).markups(), QStringLiteral("编辑批注"));
    EXPECT_EQ(shownNames(again, 0).count(installed), 1);
}

TEST_F(AnnotatedCopy, NeverOverwritesThePaper)
{
    const QString paper = writePaper(path("paper.pdf"));
    const QByteArray paperBytes = fileBytes(paper);
    ASSERT_TRUE(QFile::link(paper, path("link.pdf")));
    model::SharedPDFViewModel &model = openPane(paper);
    for (const QString &target : {paper, path("link.pdf"), path("sub/../paper.pdf")}) {
        exportChooser = std::make_shared<FixedChooser>(target);
        test::annotationsOf(model).setMarkupError(std::nullopt);
        test::annotationsOf(model).exportAnnotatedPDF();
        EXPECT_EQ(test::annotationsOf(model).markupError(), QStringLiteral("请选择另一个文件名，保留原 PDF。"));
        test::annotationsOf(model).setMarkupError(std::nullopt);
        test::annotationsOf(model).exportAnnotationSummary(); // no items: nothing at all
        EXPECT_FALSE(test::annotationsOf(model).markupError());
    }
    EXPECT_EQ(fileBytes(paper), paperBytes);

    exportChooser = std::make_shared<FixedChooser>(QString());
    test::annotationsOf(model).setMarkupError(QStringLiteral("earlier"));
    test::annotationsOf(model).exportAnnotatedPDF();
    EXPECT_EQ(test::annotationsOf(model).markupError(), QStringLiteral("earlier"));
}

// A page's annotations in the copy follow the markups' order, whatever
// was changed since they were made.
TEST_F(AnnotatedCopy, WritesEachPagesMarkupsInMarkupOrder)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("paper.pdf")));
    PaneAnnotations &annotations = test::annotationsOf(model);
    for (const auto &[line, kind] : {std::pair{0, "underline"}, {1, "highlight"}, {2, "underline"}}) {
        select(model, 0, line, 0, 5);
        annotations.addMarkup(QLatin1String(kind), QString());
    }
    const auto copied = [&] {
        exportChooser = std::make_shared<FixedChooser>(path("copy.pdf"));
        annotations.exportAnnotatedPDF();
        QStringList names;
        if (const auto copy = engine::PdfDocument::open(path("copy.pdf")))
            for (const engine::PdfAnnotation &a : engine::annotations(*copy, 0))
                names << a.subtype.toLower() + u' ' + a.userName;
        return names;
    };
    const auto inMarkupOrder = [&] {
        QStringList names;
        for (const ReadingMarkup &m : annotations.markups())
            names << m.kind + u' ' + installedName(m.id);
        return names;
    };
    ASSERT_EQ(annotations.markups().size(), 3u);
    EXPECT_EQ(copied(), inMarkupOrder());

    // The first markup's note and the second's colour change in place.
    annotations.editAnnotation(annotations.annotationItems()[0].id, QStringLiteral("note"), std::nullopt);
    annotations.editAnnotation(annotations.annotationItems()[1].id, QString(), MarkupColor::green);
    EXPECT_EQ(copied(), inMarkupOrder());
    // A deleted markup comes back to its place.
    annotations.deleteAnnotation(annotations.annotationItems()[0].id);
    annotations.annotationUndoManager()->undo();
    ASSERT_EQ(annotations.markups().size(), 3u);
    EXPECT_EQ(copied(), inMarkupOrder());
}

// The list shows a reply as an item of its own: a comment deleted there
// leaves nothing of itself in the copy, and the reply stays, unhooked.
TEST_F(AnnotatedCopy, LeavesOutAllOfADeletedCommentButItsReply)
{
    const QString paper = writePaper(path("paper.pdf"), 1, [](auto &w) {
        w.addReviewComment(0, textRect(0, 0, 5), QStringLiteral("reviewer comment"), QStringLiteral("author answer"));
    });
    const QByteArray paperBytes = fileBytes(paper);
    PaneAnnotations &annotations = test::annotationsOf(openPane(paper));
    ASSERT_EQ(annotations.annotationItems().size(), 2u);
    ASSERT_EQ(annotations.annotationItems()[0].kind, QStringLiteral("strikeout"));
    annotations.deleteAnnotation(annotations.annotationItems()[0].id);

    exportChooser = std::make_shared<FixedChooser>(path("copy.pdf"));
    annotations.exportAnnotatedPDF();
    const QByteArray copy = fileBytes(path("copy.pdf"));
    ASSERT_FALSE(copy.isEmpty());
    for (const char *trace : {"reviewer comment", "Reviewer", "/Popup", "/IRT", "Folvan"})
        EXPECT_FALSE(copy.contains(trace)) << trace;
    const std::vector<ReadingAnnotationItem> &copied = test::annotationsOf(openPane(path("copy.pdf"))).annotationItems();
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].note, QStringLiteral("author answer"));
    EXPECT_EQ(fileBytes(paper), paperBytes);
}

class OverlayRows : public PaneTest {};

TEST_F(OverlayRows, AreNineNumbersPerRectangle)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf"), 2, [](auto &w) {
        w.addHighlight(0, {textRect(0, 0, 5)}, QColor::fromRgbF(1, 0, 0, 0.35));
        // Kept off the page by the paper's own flags (Hidden, NoView): no row.
        for (const char *flags : {"2", "32"})
            w.addRawAnnotation(0, QByteArray("/Subtype /Highlight /F ") + flags
                                      + " /Rect [72 700 200 712] /QuadPoints [72 712 200 712 72 700 200 700] /C [0 1 0]");
        w.addTextMarkup(1, "StrikeOut", {engine::PdfFixtureWriter::quadOf(textRect(0, 0, 5))}, QColor(0, 0, 255));
        w.addTextNote(1, QRectF(400, 600, 20, 20), QStringLiteral("n"));
    }));
    select(model, 1, 1, 0, 7);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    ASSERT_EQ(test::annotationsOf(model).markups().front().color, QStringLiteral("yellow"));

    PaneAnnotations::OverlayRowMap rows = test::annotationsOf(model).rasterOverlays(false);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 1u);
    const std::vector<double> &pdfRow = rows[0][0];
    ASSERT_EQ(pdfRow.size(), 9u);
    EXPECT_NEAR(pdfRow[0], 72, 1e-3);
    EXPECT_NEAR(pdfRow[2], 36, 1e-3);
    EXPECT_NEAR(pdfRow[4], 1, 1e-6);
    EXPECT_NEAR(pdfRow[7], 0.35, 0.01);
    EXPECT_EQ(pdfRow[8], 0.0);
    ASSERT_EQ(rows[1].size(), 1u); // no strike-out, no note
    // Nor are those flagged off the page listed (or drawn in the reflow view).
    const auto &items = test::annotationsOf(model).annotationItems();
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const auto &item) { return item.page == 0; }), 1);
    EXPECT_NEAR(rows[1][0][7], 0.45, 1e-9);
    EXPECT_EQ(rows[1][0][8], 1.0);

    rows = test::annotationsOf(model).rasterOverlays(true);
    ASSERT_EQ(rows[1].size(), 2u);
    const std::vector<double> &selectionRow = rows[1][1];
    EXPECT_EQ(std::vector<double>(selectionRow.begin() + 4, selectionRow.end()),
              (std::vector<double>{0.4, 0.65, 1.0, 0.18, 0.0}));
}

class PassageLocations : public PaneTest {};

TEST_F(PassageLocations, PointAtTheTopLeftOfThePassage)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    model::ReadingTextSource found;
    found.page = 0;
    found.quote = QStringLiteral("zeta eta");
    model::ReadingLocation place = test::annotationsOf(model).location(found);
    ASSERT_TRUE(place.point);
    EXPECT_NEAR(place.point->x(), kLeft + 8 * kCharWidth, 0.01);
    EXPECT_GT(place.point->y(), 680);
    EXPECT_EQ(place.source, found);

    model::ReadingTextSource placed = found;
    placed.quote = QStringLiteral("nowhere");
    placed.pdfRect = QRectF(100, 200, 50, 20);
    place = test::annotationsOf(model).location(placed);
    EXPECT_EQ(place.point, QPointF(100, 220));

    placed.pdfRect.reset();
    place = test::annotationsOf(model).location(placed);
    EXPECT_TRUE(place.source);
    EXPECT_FALSE(place.point);

    placed.page = 4;
    place = test::annotationsOf(model).location(placed);
    EXPECT_EQ(place.page, 4);
    EXPECT_FALSE(place.source);
    EXPECT_FALSE(place.point);
}

class MarkdownSummary : public PaneTest {};

TEST_F(MarkdownSummary, ListsPagesAndItemsInReadingOrder)
{
    const QString paper = writePaper(path("my paper.pdf"), 3, [](auto &w) {
        w.setPageLabels({{0, 'r', {}, 1}, {2, 'D', {}, 1}});
        w.addTextNote(2, QRectF(400, 600, 20, 20), QStringLiteral("on the third page"));
        w.addHighlight(0, {textRect(2, 0, 4)}, QColor(255, 255, 0), QStringLiteral("first note"));
    });
    model::SharedPDFViewModel &model = openPane(paper);
    select(model, 0, 0, 0, 10);
    test::annotationsOf(model).addMarkup(QStringLiteral("underline"), QString());
    ReadingMarkup twoLines = test::annotationsOf(model).markups().front();
    twoLines.id = QUuid::createUuid();
    twoLines.page = 1;
    twoLines.quote = QStringLiteral("a\r\nb");
    twoLines.note = QStringLiteral("*kept*");
    std::vector<ReadingMarkup> list = test::annotationsOf(model).markups();
    list.push_back(twoLines);
    test::annotationsOf(model).commitAnnotations(list, QStringLiteral("编辑批注"));

    const std::optional<QString> text = test::annotationsOf(model).annotationSummary();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QStringLiteral("# my paper\n\n"
                                    "从 Folvan 导出的高亮与批注。\n\n"
                                    "## 第 i 页（PDF 第 1 页）\n\n"
                                    "> alpha beta\n\n"
                                    "> iota\n\nfirst note\n\n"
                                    "## 第 ii 页（PDF 第 2 页）\n\n"
                                    "> a\n> \n> b\n\n*kept*\n\n"
                                    "## 第 1 页（PDF 第 3 页）\n\n"
                                    "on the third page\n"));

    auto chooser = std::make_shared<FixedChooser>(path("summary.md"));
    exportChooser = chooser;
    test::annotationsOf(model).exportAnnotationSummary();
    EXPECT_EQ(chooser->proposed, QStringLiteral("my paper-批注.md"));
    EXPECT_EQ(QString::fromUtf8(fileBytes(path("summary.md"))), *text);
    EXPECT_FALSE(test::annotationsOf(model).markupError());
}

TEST_F(MarkdownSummary, NothingWithoutItems)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path("a.pdf")));
    EXPECT_FALSE(test::annotationsOf(model).annotationSummary());
    model::SharedPDFViewModel empty;
    PaneAnnotations::attach(empty);
    EXPECT_FALSE(test::annotationsOf(empty).annotationSummary());
}

// Exported at once after a long paper opens, while its own annotations and
// its stored markups are still read off the main thread, the copy and the
// summary hold them all.
TEST_F(AnnotatedCopy, OfALongPaperJustOpenedHoldsEveryMarkup)
{
    const QString paper = writePaper(path("long.pdf"), 400, [](auto &w) {
        w.addHighlight(350, {textRect(1, 0, 7)}, QColor(0, 255, 0), QStringLiteral("far"), QStringLiteral("Far"));
    });
    model::SharedPDFViewModel &first = openPane(paper);
    ASSERT_TRUE(waitFor([&] { return test::annotationsOf(first).annotationItems().size() == 1; }));
    for (int page : {0, 380}) {
        select(first, page, 2, 0, 7);
        test::annotationsOf(first).addMarkup(QStringLiteral("highlight"), QStringLiteral("mine"));
    }
    QStringList installed;
    for (const ReadingMarkup &markup : test::annotationsOf(first).markups())
        installed << installedName(markup.id);

    model::SharedPDFViewModel &second = startPane(paper);
    auto chooser = std::make_shared<FixedChooser>(path("copy.pdf"));
    exportChooser = chooser;
    test::annotationsOf(second).exportAnnotatedPDF();
    EXPECT_FALSE(test::annotationsOf(second).markupError());
    std::shared_ptr<engine::PdfDocument> copy = engine::PdfDocument::open(chooser->path);
    ASSERT_TRUE(copy);
    QStringList names;
    for (int page : {0, 350, 380}) {
        for (const engine::PdfAnnotation &a : engine::annotations(*copy, page))
            names << a.userName;
    }
    EXPECT_EQ(names, (QStringList{installed[0], "Far", installed[1]}));

    model::SharedPDFViewModel &third = startPane(paper);
    const std::optional<QString> summary = test::annotationsOf(third).annotationSummary();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->count(QStringLiteral("mine")), 2) << summary->toStdString();
    EXPECT_EQ(summary->count(QStringLiteral("far")), 1) << summary->toStdString();
    // Nothing is read twice once the readings started at open come back.
    waitForIdle();
    waitForStoredMarkups(third);
    EXPECT_EQ(test::annotationsOf(third).annotationItems().size(), 3u);
    EXPECT_EQ(shownNames(third, 380), QStringList{installed[1]});
}
