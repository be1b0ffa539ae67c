// The citation preview's geometry: the link under a point, where it goes,
// the region shown of its target and the picture of that region.

#include <gtest/gtest.h>

#include "AnnotationTestSupport.h"
#include "annotations/ReadingAids.h"

namespace folvan::test {
namespace {

using engine::PdfDestination;

class CitationPreviewTest : public TempHomeTest {
protected:
    // Page 0 cites with two overlapping links and a web link; page 1 is the
    // reference page: text in the left column at 72 and in the right one at
    // 330, on the baselines of kLineBaselines; page 2 is labelled "iv".
    std::shared_ptr<engine::PdfDocument> open()
    {
        const QString file = writePaper(path(QStringLiteral("paper.pdf")), 3, [](engine::PdfFixtureWriter &w) {
            w.addText(1, QPointF(330, kLineBaselines[0]), paperLines()[2], engine::FixtureFont::Courier, 12);
            w.addHighlight(0, {QRectF(70, 690, 40, 20)}, Qt::yellow);
            w.addLink(0, QRectF(72, 697, 30, 12), 1, QPointF(326, 711));
            w.addLink(0, QRectF(90, 697, 30, 12), 1, QPointF(0, 0));
            w.addUriLink(0, QRectF(72, 677, 30, 12), QStringLiteral("https://example.org"));
            w.setPageLabels({{0, 'D', {}, 1}, {2, 'r', {}, 4}});
        });
        auto document = engine::PdfDocument::open(file);
        EXPECT_TRUE(document);
        return document;
    }
};

TEST_F(CitationPreviewTest, FindsTheFirstLinkUnderAPointAndWhereItGoes)
{
    const auto document = open();
    const engine::PdfPage page(document, 0);

    // Inside the highlight and both links: the first link in page order.
    const auto first = annotations::linkAt(QPointF(95, 700), page);
    ASSERT_TRUE(first);
    const auto target = annotations::linkDestination(*first);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->pageIndex, 1);
    EXPECT_DOUBLE_EQ(target->point().x(), 326);
    EXPECT_DOUBLE_EQ(target->point().y(), 711);

    EXPECT_FALSE(annotations::linkAt(QPointF(300, 300), page));
    // A web link is a link but goes to no page; a highlight is no link.
    const auto web = annotations::linkAt(QPointF(80, 680), page);
    ASSERT_TRUE(web);
    EXPECT_FALSE(annotations::linkDestination(*web));
    const auto all = engine::annotations(*document, 0);
    const auto highlight = std::find_if(all.begin(), all.end(), [](const auto &a) { return a.subtype == "Highlight"; });
    ASSERT_NE(highlight, all.end());
    EXPECT_FALSE(annotations::linkDestination(*highlight));
}

TEST_F(CitationPreviewTest, PageLabelsAreTheTrimmedLabelOrTheNumber)
{
    const auto document = open();
    EXPECT_EQ(annotations::pageLabelOrNumber(*document, 2), QStringLiteral("iv"));
    EXPECT_EQ(annotations::pageLabelOrNumber(*document, 1), QStringLiteral("2"));
    EXPECT_EQ(annotations::pageLabelOrNumber(*document, 11), QStringLiteral("12"));
}

TEST_F(CitationPreviewTest, RegionStartsAboveTheTargetAndIsHeldToThePage)
{
    const auto document = open();
    // A text line more than 60 wide 6 right of and 11 below the point: the
    // region spans that line, 10 points either side.
    const auto line = annotations::previewRect(document, PdfDestination(1, QPointF(324, kLineBaselines[0] + 11)));
    ASSERT_TRUE(line);
    const double lineWidth = engine::PdfFixtureWriter::textWidth(paperLines()[2], engine::FixtureFont::Courier, 12);
    EXPECT_NEAR(line->left(), 320, 1);
    EXPECT_NEAR(line->right(), 330 + lineWidth + 10, 1);
    EXPECT_DOUBLE_EQ(line->top(), kLineBaselines[0] + 14 - 150); // QRectF's top is the lower edge here
    EXPECT_DOUBLE_EQ(line->height(), 150);

    // Only a page: the top band of the crop box, across all its text (72
    // to the right line's end), 10 points either side.
    const auto expectAllText = [&](const std::optional<QRectF> &region) {
        ASSERT_TRUE(region);
        EXPECT_NEAR(region->left(), 62, 0.01);
        EXPECT_NEAR(region->right(), 330 + lineWidth + 10, 0.01);
        EXPECT_NEAR(region->top(), 792 - 150, 0.01);
        EXPECT_NEAR(region->height(), 150, 0.01);
    };
    PdfDestination pageOnly(1);
    expectAllText(annotations::previewRect(document, pageOnly));
    // Above the page, or a placeholder height: the same band.
    expectAllText(annotations::previewRect(document, PdfDestination(1, QPointF(0, 5000))));
    pageOnly.y = 1e9;
    expectAllText(annotations::previewRect(document, pageOnly));
    // Five points above the bottom: raised to 20 above it, 20 high; no
    // text there, the crop box less 12-point margins.
    EXPECT_EQ(annotations::previewRect(document, PdfDestination(1, QPointF(0, 5))), QRectF(12, 0, 612 - 24, 20));
    // Below or beside the page, or with no text in the band: the page's
    // width, or all the band's text.
    EXPECT_EQ(annotations::previewRect(document, PdfDestination(1, QPointF(900, -40))), QRectF(12, 0, 612 - 24, 20));
    EXPECT_EQ(annotations::previewRect(document, PdfDestination(1, QPointF(324, 640)))->width(), 612 - 24);
    const auto outside = annotations::previewRect(document, PdfDestination(1, QPointF(640, kLineBaselines[0] + 11)));
    expectAllText(QRectF(outside->left(), 792 - 150, outside->width(), 150));
    // A line that starts a little right of the point is the one the point
    // starts; one that starts well right of it is not: no column, all the
    // band's text.
    const auto indent = annotations::previewRect(document, PdfDestination(1, QPointF(300, kLineBaselines[0] + 11)));
    EXPECT_NEAR(indent->right(), 330 + lineWidth + 10, 0.01);
    EXPECT_GT(indent->left(), 72 + 158);
    const auto beside = annotations::previewRect(document, PdfDestination(1, QPointF(250, kLineBaselines[0] + 11)));
    expectAllText(QRectF(beside->left(), 792 - 150, beside->width(), 150));
    // No such page.
    EXPECT_FALSE(annotations::previewRect(document, PdfDestination(7)));
    EXPECT_FALSE(annotations::previewRect(document, PdfDestination()));
}

// A justified reference list sets a line's words far apart, and the page's
// text may hold the line in pieces, the first one short of 60 points: the
// region spans the whole line all the same, and stops at the column's edge.
TEST_F(CitationPreviewTest, AJustifiedLineInPiecesIsTakenWhole)
{
    const QString file = writePaper(path(QStringLiteral("refs.pdf")), 2, [](engine::PdfFixtureWriter &w) {
        const double y = 600;
        // Gaps as a two-column reference list has them: 13 and 7 points
        // inside the line, 23 to the next column.
        w.addText(1, QPointF(300, y), QStringLiteral("[3] D. F.,"), engine::FixtureFont::Courier, 8);
        w.addText(1, QPointF(300 + 48 + 13, y), QStringLiteral("Interaction"), engine::FixtureFont::Courier, 8);
        w.addText(1, QPointF(300 + 48 + 13 + 52.8 + 7, y), QStringLiteral("design"), engine::FixtureFont::Courier, 8);
        w.addText(1, QPointF(300 + 48 + 13 + 52.8 + 7 + 28.8 + 23, y), QStringLiteral("[4] Next"),
                  engine::FixtureFont::Courier, 8);
        w.addText(1, QPointF(300 - 23 - 19.2, y), QStringLiteral("left"), engine::FixtureFont::Courier, 8);
    });
    const auto document = engine::PdfDocument::open(file);
    ASSERT_TRUE(document);
    const engine::PdfPage page(document, 1);
    const auto text = page.text();
    int pieces = 0;
    for (const engine::PdfTextSpan &line : text->lines)
        if (std::abs(line.bounds.center().y() - 602) < 4 && line.bounds.left() >= 290)
            ++pieces;
    EXPECT_GE(pieces, 2);
    const auto region = annotations::previewRect(document, PdfDestination(1, QPointF(294, 600 + 11)));
    ASSERT_TRUE(region);
    EXPECT_NEAR(region->left(), 290, 1);
    EXPECT_NEAR(region->right(), 300 + 48 + 13 + 52.8 + 7 + 28.8 + 10, 1.5);
}

// A two-column page: body text in both columns with an 18-point gutter,
// at the top of the right column a table whose caption is narrower than
// the table and stands level with a line of the left column, and a
// reference list whose entries hang their later lines under the number.
// A preview spans the line at the point under the destination, in the
// target's own column; where no line is at that point it spans the page.
TEST_F(CitationPreviewTest, ATwoColumnPageShowsTheTargetsColumnOrThePage)
{
    using engine::FixtureFont;
    constexpr double leftColumn = 54, rightColumn = 310;
    const QString body = QStringLiteral("abcdefghij klmnopqrst uvwxyz abcd");
    const double bodyWidth = engine::PdfFixtureWriter::textWidth(body, FixtureFont::Courier, 12);
    const QString entry = QStringLiteral("[1] P. Abril and R. Plant. 2007. The");
    const QString hanging = QStringLiteral("patent holder's dilemma. Commun.");
    const double hangingWidth = engine::PdfFixtureWriter::textWidth(hanging, FixtureFont::Courier, 8);
    const QString file = writePaper(path(QStringLiteral("columns.pdf")), 1, [&](engine::PdfFixtureWriter &w) {
        const int page = w.addPage();
        for (double y = 700; y >= 520; y -= 14)
            w.addText(page, QPointF(leftColumn, y), body, FixtureFont::Courier, 12);
        w.addText(page, QPointF(350, 701), QStringLiteral("Table 1: Symbols"), FixtureFont::Courier, 10);
        for (double y = 686; y >= 662; y -= 12)
            w.addText(page, QPointF(330, y), QStringLiteral("Symbol   1 in 1,000   For names"), FixtureFont::Courier, 10);
        for (double y = 630; y >= 574; y -= 14)
            w.addText(page, QPointF(rightColumn, y), body, FixtureFont::Courier, 12);
        w.addText(page, QPointF(rightColumn, 500), entry, FixtureFont::Courier, 8);
        w.addText(page, QPointF(rightColumn + 12, 491), hanging, FixtureFont::Courier, 8);
        w.addText(page, QPointF(leftColumn, 492), body, FixtureFont::Courier, 12);
    });
    const auto document = engine::PdfDocument::open(file);
    ASSERT_TRUE(document);

    // The margin between the columns stops half way across the gutter.
    const double gutterMiddle = (leftColumn + bodyWidth + rightColumn) / 2;

    // The table, its point at the column's edge: the right column, whose
    // lines hold the table and its caption; the left column's line beside
    // it is not the table's.
    const auto table = annotations::previewRect(document, PdfDestination(1, QPointF(rightColumn, 711)));
    ASSERT_TRUE(table);
    EXPECT_NEAR(table->left(), gutterMiddle, 1);
    EXPECT_NEAR(table->right(), rightColumn + bodyWidth + 10, 1);
    EXPECT_DOUBLE_EQ(table->bottom(), 714); // QRectF's bottom is the upper edge here

    // A line of the left column, with a line of the right one level with it
    // across the narrow gutter: the left column only.
    const auto left = annotations::previewRect(document, PdfDestination(1, QPointF(leftColumn, 636)));
    ASSERT_TRUE(left);
    EXPECT_NEAR(left->left(), leftColumn - 10, 1);
    EXPECT_NEAR(left->right(), gutterMiddle, 1);
    // And the other way round.
    const auto right = annotations::previewRect(document, PdfDestination(1, QPointF(rightColumn, 622)));
    ASSERT_TRUE(right);
    EXPECT_NEAR(right->left(), gutterMiddle, 1);
    EXPECT_NEAR(right->right(), rightColumn + bodyWidth + 10, 1);

    // A reference: its entry whole, from its number on, not the left column
    // beside it.
    const double entryWidth = engine::PdfFixtureWriter::textWidth(entry, FixtureFont::Courier, 8);
    ASSERT_GT(entryWidth, 12 + hangingWidth);
    const auto reference = annotations::previewRect(document, PdfDestination(1, QPointF(rightColumn, 506)));
    ASSERT_TRUE(reference);
    EXPECT_NEAR(reference->left(), gutterMiddle, 1);
    EXPECT_NEAR(reference->right(), rightColumn + entryWidth + 10, 1);
}

// The lines of a page that a region crosses (their middle lies in it, and
// they overlap it across) but cuts at its left or right edge.
// All as the page is shown, upright.
int cutLines(const std::shared_ptr<engine::PdfDocument> &document, int pageIndex, const QRectF &pageRegion)
{
    const engine::PdfPage page(document, pageIndex);
    const QTransform shown = page.drawingTransform();
    const QRectF region = shown.mapRect(pageRegion);
    int cut = 0;
    for (const engine::PdfTextSpan &line : page.text()->lines) {
        const QRectF box = shown.mapRect(line.bounds.normalized());
        if (box.isEmpty() || box.center().y() < region.top() || box.center().y() > region.bottom()
            || box.right() <= region.left() || box.left() >= region.right())
            continue;
        if (box.left() < region.left() - 0.5 || box.right() > region.right() + 0.5)
            ++cut;
    }
    return cut;
}

// Whether a preview's picture has ink in its top or bottom row: a line its edge cuts.
bool inkAtTopOrBottom(const QImage &picture)
{
    for (const int y : {0, picture.height() - 1})
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) < 200)
                return true;
    return false;
}

// A reference list longer than a preview, each anchor on the baseline of the entry before: the
// preview starts at the entry's first line and ends between two lines, whatever the leading.
TEST_F(CitationPreviewTest, AReferenceListPreviewStartsAndEndsBetweenLines)
{
    using engine::FixtureFont;
    constexpr double left = 72, leading = 9.5;
    const QString file = writePaper(path(QStringLiteral("list.pdf")), 1, [&](engine::PdfFixtureWriter &w) {
        const int page = w.addPage();
        double y = 700;
        for (int k = 1; k <= 12; ++k) {
            w.addText(page, QPointF(left, y), QStringLiteral("[%1] A. Author, B. Author, A long title").arg(k),
                      FixtureFont::Courier, 8);
            w.addText(page, QPointF(left + 12, y - leading), QStringLiteral("of the work, Journal %1 (2007).").arg(k),
                      FixtureFont::Courier, 8);
            y -= 2 * leading + 2;
        }
    });
    const auto document = engine::PdfDocument::open(file);
    ASSERT_TRUE(document);
    const auto text = engine::PdfPage(document, 1).text();
    // The topmost line whose middle lies in a region.
    const auto firstShown = [&](const QRectF &region) {
        const engine::PdfTextSpan *first = nullptr;
        for (const engine::PdfTextSpan &line : text->lines)
            if (region.contains(line.bounds.center()) && (!first || line.bounds.center().y() > first->bounds.center().y()))
                first = &line;
        return first ? text->string.mid(first->range.location, first->range.length) : QString();
    };

    for (int k = 2; k <= 6; ++k) {
        SCOPED_TRACE(k);
        // On the baseline of the second line of the entry before.
        const PdfDestination target(1, QPointF(left, 700 - (k - 1) * (2 * leading + 2) + leading + 2));
        const auto region = annotations::previewRect(document, target);
        ASSERT_TRUE(region);
        EXPECT_EQ(cutLines(document, 1, *region), 0);
        EXPECT_TRUE(firstShown(*region).startsWith(QStringLiteral("[%1]").arg(k)));
        EXPECT_LE(region->height(), 150);
        EXPECT_GT(region->height(), 150 - 2 * leading);
        EXPECT_FALSE(inkAtTopOrBottom(annotations::previewImage(document, target, 540)));
    }
}

// The places a paper links to whose line at the destination is narrower
// than what follows it: a heading over its column's text, a reference
// list whose numbers stand in the margin left of the entries (the
// destination in the indent left of the column), a reference after one
// whose last line is short, and the page itself, whose running head is
// set in two short parts over two columns. Each preview shows the lines it
// crosses whole: the column, or for the page all its text.
TEST_F(CitationPreviewTest, APreviewShowsTheLinesItCrossesWhole)
{
    using engine::FixtureFont;
    constexpr double leftColumn = 54, rightColumn = 330;
    const QString body = QStringLiteral("abcdefghij klmnopqrst uvwxyz abcde");
    const double bodyWidth = engine::PdfFixtureWriter::textWidth(body, FixtureFont::Courier, 12);
    const QString file = writePaper(path(QStringLiteral("whole.pdf")), 1, [&](engine::PdfFixtureWriter &w) {
        const int page = w.addPage();
        w.addText(page, QPointF(leftColumn, 740), QStringLiteral("Conference, 2018"), FixtureFont::Courier, 7);
        w.addText(page, QPointF(500, 740), QStringLiteral("Authors"), FixtureFont::Courier, 7);
        w.addText(page, QPointF(leftColumn, 700), QStringLiteral("1 INTRODUCTION"), FixtureFont::Courier, 12);
        for (double y = 684; y >= 500; y -= 14)
            w.addText(page, QPointF(leftColumn, y), body, FixtureFont::Courier, 12);
        // Entries of 3 lines, the last one short; numbers 14 left of them.
        for (int k = 0; k < 6; ++k) {
            const double y = 700 - 40 * k;
            w.addText(page, QPointF(rightColumn - 14, y), QStringLiteral("%1.").arg(k + 1), FixtureFont::Courier, 8);
            w.addText(page, QPointF(rightColumn, y), body, FixtureFont::Courier, 12);
            w.addText(page, QPointF(rightColumn + 12, y - 12), body.left(body.size() - 2), FixtureFont::Courier, 12);
            w.addText(page, QPointF(rightColumn + 12, y - 24), QStringLiteral("2006."), FixtureFont::Courier, 12);
        }
    });
    const auto document = engine::PdfDocument::open(file);
    ASSERT_TRUE(document);
    const double leftEnd = leftColumn + bodyWidth, rightEnd = rightColumn + bodyWidth;

    // The heading: its column, not the heading alone.
    const auto heading = annotations::previewRect(document, PdfDestination(1, QPointF(leftColumn, 712)));
    ASSERT_TRUE(heading);
    EXPECT_EQ(cutLines(document, 1, *heading), 0);
    EXPECT_NEAR(heading->left(), leftColumn - 10, 1);
    EXPECT_NEAR(heading->right(), (leftEnd + rightColumn - 14) / 2, 1);

    // The third entry, from the indent left of the column where its number
    // stands, and its point a few points above its first line: that
    // column, number and all, not the page's width, nor the short last line
    // of the entry above it.
    const auto entry = annotations::previewRect(document, PdfDestination(1, QPointF(rightColumn - 24, 700 - 80 + 12)));
    ASSERT_TRUE(entry);
    EXPECT_EQ(cutLines(document, 1, *entry), 0);
    EXPECT_NEAR(entry->left(), (leftEnd + rightColumn - 14) / 2, 1);
    EXPECT_NEAR(entry->right(), std::min(612.0, rightEnd + 10), 1);
    const auto next = annotations::previewRect(document, PdfDestination(1, QPointF(rightColumn - 14, 700 - 40 + 10)));
    ASSERT_TRUE(next);
    EXPECT_EQ(cutLines(document, 1, *next), 0);
    EXPECT_NEAR(next->left(), entry->left(), 1);

    // The page: above its running head, at its left edge; all its text.
    const auto pageTop = annotations::previewRect(document, PdfDestination(1, QPointF(leftColumn - 1, 748)));
    ASSERT_TRUE(pageTop);
    EXPECT_EQ(cutLines(document, 1, *pageTop), 0);
    EXPECT_NEAR(pageTop->left(), leftColumn - 10, 1);
    EXPECT_NEAR(pageTop->right(), std::min(612.0, rightEnd + 10), 1);
}

// A landscape table on a page turned by /Rotate 90: its lines run up the
// page in PDF space and across it as shown. The preview of its heading is
// a band across the page as shown, and shows the lines under the heading
// whole.
TEST_F(CitationPreviewTest, ATurnedPageIsReadAsItIsShown)
{
    using engine::FixtureFont;
    const QString body = QStringLiteral("abcdefghij klmnopqrst uvwxyz abcde");
    const double bodyWidth = engine::PdfFixtureWriter::textWidth(body, FixtureFont::Courier, 12);
    QTransform toPage;
    const QString file = writePaper(path(QStringLiteral("turned.pdf")), 1, [&](engine::PdfFixtureWriter &w) {
        const int page = w.addPage(QSizeF(612, 792), std::nullopt, 90);
        // Shown 792 wide and 612 high, y up: x across is PDF y, y up is
        // 612 less PDF x.
        toPage = QTransform(0, 1, 1, 0, 0, 0) * QTransform(-1, 0, 0, 1, 612, 0);
        w.addText(page, QPointF(300, 300), QStringLiteral("7"), FixtureFont::Courier, 12);
        const auto line = [&](QPointF shownOrigin, const QString &text) {
            const QPointF at = toPage.map(shownOrigin);
            w.addContent(page, QByteArray("BT /FC 12 Tf 0 1 -1 0 ") + QByteArray::number(at.x()) + " "
                                   + QByteArray::number(at.y()) + " Tm (" + text.toLatin1() + ") Tj ET");
        };
        line(QPointF(54, 520), QStringLiteral("Table 4"));
        for (double y = 504; y >= 400; y -= 14)
            line(QPointF(54, y), body);
    });
    const auto document = engine::PdfDocument::open(file);
    ASSERT_TRUE(document);
    const engine::PdfPage page(document, 1);
    ASSERT_EQ(page.drawingTransform().map(toPage.map(QPointF(54, 520))).toPoint(), QPoint(54, 520));

    const QPointF target = toPage.map(QPointF(54, 532));
    const auto region = annotations::previewRect(document, PdfDestination(1, target));
    ASSERT_TRUE(region);
    EXPECT_EQ(cutLines(document, 1, *region), 0);
    const QRectF shown = page.drawingTransform().mapRect(*region);
    EXPECT_NEAR(shown.left(), 44, 1);
    EXPECT_NEAR(shown.right(), 54 + bodyWidth + 10, 1);
    EXPECT_NEAR(shown.bottom(), 535, 1); // the upper edge, y up
    EXPECT_NEAR(shown.height(), 150, 1);
}

TEST_F(CitationPreviewTest, PictureFitsItsBoundsAndCarriesThePixelRatio)
{
    EXPECT_DOUBLE_EQ(annotations::previewScale(QSizeF(600, 150), 540), 0.9);
    EXPECT_DOUBLE_EQ(annotations::previewScale(QSizeF(200, 100), 540), 1.35);
    EXPECT_DOUBLE_EQ(annotations::previewScale(QSizeF(100, 480), 540), 0.5);

    const auto document = open();
    // W x 150 points at 540/W, twice over: 1080 pixels across.
    const QImage band = annotations::previewImage(document, PdfDestination(1), 540);
    ASSERT_FALSE(band.isNull());
    const double width = annotations::previewRect(document, PdfDestination(1))->width();
    ASSERT_GT(width, 400);
    EXPECT_DOUBLE_EQ(band.devicePixelRatio(), 2);
    EXPECT_NEAR(band.width(), 1080, 1);
    EXPECT_NEAR(band.height(), 2 * 150 * 540 / width, 1);
    // A screen of three pixels a point gets three.
    const QImage sharp = annotations::previewImage(document, PdfDestination(1), 540, 3);
    EXPECT_NEAR(sharp.width(), 1620, 1);
    EXPECT_DOUBLE_EQ(sharp.devicePixelRatio(), 3);
    // The text of the band is drawn: some pixel is dark.
    bool dark = false;
    for (int y = 0; y < band.height() && !dark; ++y)
        for (int x = 0; x < band.width() && !dark; ++x)
            dark = qGray(band.pixel(x, y)) < 100;
    EXPECT_TRUE(dark);
    EXPECT_TRUE(annotations::previewImage(document, PdfDestination(9), 540).isNull());
}

} // namespace
} // namespace folvan::test
