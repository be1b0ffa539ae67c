#include <gtest/gtest.h>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

constexpr double kEps = 1e-3;
constexpr double kSize = 12;
constexpr double kAdvance = 7.2; // Courier at 12 points

// Two pages of two Courier lines each, left edge at x = 72.
class TwoPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        PdfFixtureWriter writer;
        writer.addPage(QSizeF(612, 792));
        writer.addPage(QSizeF(612, 792));
        writer.addText(0, QPointF(72, 700), QStringLiteral("alpha beta"), FixtureFont::Courier, kSize);
        writer.addText(0, QPointF(72, 680), QStringLiteral("gamma delta"), FixtureFont::Courier, kSize);
        writer.addText(1, QPointF(72, 700), QStringLiteral("epsilon zeta"), FixtureFont::Courier, kSize);
        writer.addText(1, QPointF(72, 680), QStringLiteral("eta theta"), FixtureFont::Courier, kSize);
        doc = PdfDocument::openData(writer.data());
        ASSERT_TRUE(doc);
    }

    // The middle of character `i` of the line whose baseline is at y.
    static QPointF charCentre(int i, double baseline) { return QPointF(72 + kAdvance * (i + 0.5), baseline + 3); }

    std::shared_ptr<PdfDocument> doc;
};

} // namespace

TEST_F(TwoPages, PageStringJoinsLinesWithLineBreaks)
{
    const PdfPage page = doc->page(0);
    EXPECT_EQ(page.string(), QStringLiteral("alpha beta\ngamma delta"));
    auto text = page.text();
    ASSERT_EQ(text->boxes.size(), size_t(text->string.size()));
    ASSERT_EQ(text->lines.size(), 2u);
    EXPECT_EQ(text->lines[0].range, (PdfTextRange{0, 10}));
    EXPECT_EQ(text->lines[1].range, (PdfTextRange{11, 11}));
    ASSERT_EQ(text->words.size(), 4u);
    EXPECT_EQ(text->words[1].range, (PdfTextRange{6, 4}));
    EXPECT_NEAR(text->words[1].bounds.left(), 72 + 6 * kAdvance, kEps);
    EXPECT_NEAR(text->words[1].bounds.width(), 4 * kAdvance, kEps);
    // The separator has an empty box at the end of its line.
    EXPECT_EQ(text->boxes[10].width(), 0);
    EXPECT_NEAR(text->boxes[10].left(), 72 + 10 * kAdvance, kEps);
    EXPECT_EQ(text->lineOf(10), 0);
    EXPECT_EQ(text->lineOf(11), 1);
}

TEST_F(TwoPages, CharacterIndexAtPointsAndNearest)
{
    const PdfPage page = doc->page(0);
    EXPECT_EQ(page.characterIndexAt(charCentre(3, 700)), 3);
    EXPECT_EQ(page.characterIndexAt(charCentre(2, 680)), 13);
    // Left of the second line: nothing hit, nearest is its first character.
    EXPECT_EQ(page.characterIndexAt(QPointF(20, 683)), -1);
    EXPECT_EQ(page.characterIndexAt(QPointF(20, 683), true), 11);
    // Far below everything: the nearest line is the last one.
    EXPECT_EQ(page.characterIndexAt(QPointF(500, 100), true), 21);
}

TEST_F(TwoPages, WordAndLineSelectionsAtAPoint)
{
    const PdfPage page = doc->page(0);
    const PdfSelection word = page.selectionForWord(charCentre(7, 700));
    EXPECT_EQ(word.string(), QStringLiteral("beta"));
    const PdfSelection line = page.selectionForLine(charCentre(1, 680));
    EXPECT_EQ(line.string(), QStringLiteral("gamma delta"));
    EXPECT_TRUE(page.selectionForWord(QPointF(300, 300)).isEmpty());
}

TEST_F(TwoPages, SelectionFromPointToPointAcrossPages)
{
    const PdfPage first = doc->page(0);
    const PdfPage second = doc->page(1);
    // From the left half of "d" in "delta" to the right half of "a" in "eta".
    const QPointF from = charCentre(6, 680) - QPointF(2, 0);
    const QPointF to = charCentre(2, 680) + QPointF(2, 0);
    const PdfSelection selection = doc->selection(first, from, second, to);
    ASSERT_EQ(selection.pages().size(), 2u);
    EXPECT_EQ(selection.ranges(0), (std::vector<PdfTextRange>{{17, 5}}));
    EXPECT_EQ(selection.ranges(1), (std::vector<PdfTextRange>{{0, 16}}));
    EXPECT_EQ(selection.string(), QStringLiteral("delta\nepsilon zeta\neta"));
    // The same points the other way round give the same selection.
    EXPECT_EQ(doc->selection(second, to, first, from), selection);

    const QRectF bounds = selection.bounds(second);
    EXPECT_NEAR(bounds.left(), 72, kEps);
    EXPECT_NEAR(bounds.right(), 72 + 12 * kAdvance, kEps);

    const std::vector<PdfSelection> lines = selection.selectionsByLine();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].string(), QStringLiteral("delta"));
    EXPECT_EQ(lines[1].string(), QStringLiteral("epsilon zeta"));
    EXPECT_EQ(lines[2].string(), QStringLiteral("eta"));
    EXPECT_EQ(lines[2].pages().front().index(), 1);
}

TEST_F(TwoPages, SelectionByRectangleTakesCharactersWhoseCentreIsInside)
{
    const PdfPage page = doc->page(0);
    // Covers "pha" of the first line and "mma" of the second.
    const QRectF rect(72 + 2 * kAdvance, 675, 3 * kAdvance, 35);
    const PdfSelection selection = page.selection(rect);
    EXPECT_EQ(selection.ranges(0), (std::vector<PdfTextRange>{{2, 3}, {13, 3}}));
    EXPECT_EQ(selection.string(), QStringLiteral("pha\nmma"));
}

TEST_F(TwoPages, UnionExtensionAndEquality)
{
    const PdfPage page = doc->page(0);
    PdfSelection a = page.selection(PdfTextRange{0, 5});
    a.add(page.selection(PdfTextRange{3, 4}));
    EXPECT_EQ(a.ranges(0), (std::vector<PdfTextRange>{{0, 7}}));
    a.add(doc->page(1).selection(PdfTextRange{0, 3}));
    EXPECT_EQ(a.pages().size(), 2u);

    PdfSelection b = page.selection(PdfTextRange{6, 4});
    b.extend(100, 2);
    EXPECT_EQ(b.ranges(0), (std::vector<PdfTextRange>{{4, 18}}));
    EXPECT_EQ(page.selection(PdfTextRange{1, 2}), page.selection(PdfTextRange{1, 2}));
    EXPECT_FALSE(page.selection(PdfTextRange{1, 2}) == page.selection(PdfTextRange{1, 3}));

    // A selection of another document is not mixed in.
    auto other = PdfDocument::openData(doc->data());
    ASSERT_TRUE(other);
    PdfSelection c = page.selection(PdfTextRange{0, 1});
    c.add(other->page(0).selection(PdfTextRange{5, 1}));
    EXPECT_EQ(c.ranges(0), (std::vector<PdfTextRange>{{0, 1}}));
    EXPECT_FALSE(c == other->page(0).selection(PdfTextRange{0, 1}));
}

TEST_F(TwoPages, OutOfRangeRequestsGiveEmptyValues)
{
    EXPECT_FALSE(doc->page(2).isValid());
    EXPECT_FALSE(doc->page(-1).isValid());
    EXPECT_TRUE(doc->page(0).selection(PdfTextRange{50, 3}).isEmpty());
    EXPECT_EQ(doc->page(0).selection(PdfTextRange{20, 10}).string(), QStringLiteral("ta"));
    EXPECT_TRUE(doc->page(0).characterBounds(99).isNull());
    const QPointF nowhere(qQNaN(), 10);
    EXPECT_EQ(doc->page(0).characterIndexAt(nowhere, true), -1);
    EXPECT_TRUE(doc->page(0).selectionForLine(nowhere).isEmpty());
    EXPECT_TRUE(doc->page(0).render(0).isNull());
    EXPECT_TRUE(doc->page(0).render(qInf()).isNull());
}

TEST(PageText, CharactersOutsideTheBmpAndChineseText)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(300, 300));
    writer.addCjkText(0, QPointF(50, 200), QStringLiteral("论文阅读"), 20);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    EXPECT_EQ(page.string(), QStringLiteral("论文阅读"));
    EXPECT_NEAR(page.characterBounds(1).left(), 70, kEps);
    EXPECT_NEAR(page.characterBounds(1).width(), 20, kEps);
}

TEST(PageText, AnnotationsAreNotPartOfThePageString)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(300, 300));
    writer.addText(0, QPointF(50, 200), QStringLiteral("body"), FixtureFont::Helvetica, 12);
    writer.addFreeText(0, QRectF(50, 100, 150, 40), QStringLiteral("margin note"));
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->page(0).string(), QStringLiteral("body"));
}

TEST(PageText, LigaturesCountAsTheirLettersEverywhere)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(300, 300));
    writer.addText(0, QPointF(50, 200), QStringLiteral("a di\uFB00erent \uFB01eld"), FixtureFont::Courier, kSize);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    ASSERT_EQ(page.string(), QStringLiteral("a different field"));
    // The two letters of the "ff" glyph share its box evenly.
    EXPECT_NEAR(page.characterBounds(4).left(), 50 + 4 * kAdvance, kEps);
    EXPECT_NEAR(page.characterBounds(4).width(), kAdvance / 2, kEps);
    EXPECT_NEAR(page.characterBounds(5).left(), 50 + 4.5 * kAdvance, kEps);
    EXPECT_NEAR(page.characterBounds(5).width(), kAdvance / 2, kEps);
    // A selection by a rectangle (how a highlight finds its quote) and a
    // word at a point keep every letter.
    EXPECT_EQ(page.selection(QRectF(40, 195, 250, 12)).string(), QStringLiteral("a different field"));
    EXPECT_EQ(page.selectionForWord(QPointF(50 + 4.8 * kAdvance, 203)).string(), QStringLiteral("different"));
    EXPECT_EQ(page.characterIndexAt(QPointF(50 + 4.8 * kAdvance, 203)), 5);
}

TEST(PageText, AReleaseBesideAShortLineEndsAtThatLineInTwoColumns)
{
    // Left column at x = 72, right column at x = 330, lines at the same
    // heights; the left column's second line is short.
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    const QStringList left{QStringLiteral("first line of the left"), QStringLiteral("end."),
                           QStringLiteral("next paragraph starts"), QStringLiteral("and goes on here")};
    const QStringList right{QStringLiteral("right column one"), QStringLiteral("right column two"),
                            QStringLiteral("right column three"), QStringLiteral("right column four")};
    for (int i = 0; i < left.size(); ++i)
        writer.addText(0, QPointF(72, 700 - 14 * i), left[i], FixtureFont::Courier, kSize);
    for (int i = 0; i < right.size(); ++i)
        writer.addText(0, QPointF(330, 700 - 14 * i), right[i], FixtureFont::Courier, kSize);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    // From the start of the first line to the blank beside "end.", well
    // inside the left column (nearer the right column's line than "end.").
    const QPointF start(72 + 0.2 * kAdvance, 703);
    const QPointF beside(72 + 20 * kAdvance, 700 - 14 + 3);
    EXPECT_EQ(doc->selection(page, start, page, beside).string(), QStringLiteral("first line of the left\nend."));
    // Beside a line of the right column, the selection goes on into it.
    const QPointF inRight(330 + 17 * kAdvance, 700 - 14 + 3);
    EXPECT_TRUE(doc->selection(page, start, page, inRight).string().endsWith(QStringLiteral("right column two")));
}

TEST(PageText, ADragFromTheLeftColumnIntoTheGutterOrTheMarginStaysInThatColumn)
{
    // A title across the page and a narrow author line over two columns of
    // four lines each.
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addText(0, QPointF(72, 760), QStringLiteral("A title that runs across both of the columns below"),
                   FixtureFont::Courier, kSize);
    writer.addText(0, QPointF(180, 730), QStringLiteral("An Author Name"), FixtureFont::Courier, kSize);
    for (int i = 0; i < 4; ++i)
        writer.addText(0, QPointF(72, 700 - 14 * i), QStringLiteral("left line %1 of text").arg(i),
                       FixtureFont::Courier, kSize);
    for (int i = 0; i < 4; ++i)
        writer.addText(0, QPointF(330, 700 - 14 * i), QStringLiteral("right line %1 here").arg(i),
                       FixtureFont::Courier, kSize);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    const QPointF start(72 + 0.2 * kAdvance, 703);
    const QString leftColumn = QStringLiteral("left line 0 of text\nleft line 1 of text\nleft line 2 of text\n"
                                              "left line 3 of text");
    // The gutter beside the last left line (under the title's width) and
    // the bottom margin under the left column (and under the author line):
    // the left column's end.
    const QPointF gutter(72 + 24 * kAdvance, 700 - 3 * 14 + 3);
    EXPECT_EQ(doc->selection(page, start, page, gutter).string(), leftColumn);
    const QPointF bottom(72 + 18 * kAdvance, 60);
    EXPECT_EQ(doc->selection(page, start, page, bottom).string(), leftColumn);
    // Dragged backwards from the margin, the same.
    EXPECT_EQ(doc->selection(page, bottom, page, start).string(), leftColumn);
    // Under the right column, the drag goes on into it.
    const QPointF underRight(330 + 5 * kAdvance, 60);
    EXPECT_TRUE(doc->selection(page, start, page, underRight).string().endsWith(QStringLiteral("right line 3 here")));
    // Above everything, the title.
    const QPointF top(72 + 0.2 * kAdvance, 780);
    EXPECT_TRUE(doc->selection(page, top, page, start).string().startsWith(QStringLiteral("A title")));
    // Beside the right column, in the page's right margin, the drag went
    // over to that column.
    const QPointF besideRight(560, 700 - 14 + 3);
    EXPECT_TRUE(doc->selection(page, start, page, besideRight).string().endsWith(QStringLiteral("right line 1 here")));
}

TEST(PageText, ADoubleClickedWordLeavesItsPunctuationOut)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addText(0, QPointF(72, 700), QStringLiteral("Sheffield, (UK) co-author's \"x2\"."), FixtureFont::Courier,
                   kSize);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    auto wordAt = [&](int i) { return page.selectionForWord(QPointF(72 + kAdvance * (i + 0.5), 703)).string(); };
    EXPECT_EQ(wordAt(2), QStringLiteral("Sheffield"));
    EXPECT_EQ(wordAt(13), QStringLiteral("UK"));
    EXPECT_EQ(wordAt(17), QStringLiteral("co"));
    EXPECT_EQ(wordAt(20), QStringLiteral("author's"));
    EXPECT_EQ(wordAt(30), QStringLiteral("x2"));
    // On the punctuation itself: that character alone.
    EXPECT_EQ(wordAt(9), QStringLiteral(","));
}

// Two columns of lines set as a paper sets them, 9 points on 10: each
// line's character boxes reach into the lines above and below it. The
// right column is drawn from its last line up, as some producers write a
// page, so that a line below comes first in the page's text. A point on a
// word, from the foot of its descenders to the top of its capitals, picks
// that word in either column, never a word or a space of a neighbouring
// line.
TEST(PageText, ADoubleClickPicksTheWordOfTheLineThePointIsOn)
{
    constexpr double size = 9;
    constexpr double leading = 10;
    const QStringList left{QStringLiteral("The title of your work should use"),
                           QStringLiteral("capital letters appropriately and"),
                           QStringLiteral("thank you for all other support"),
                           QStringLiteral("in the Acknowledgments section")};
    const QStringList right{QStringLiteral("authors may share one affiliation"),
                            QStringLiteral("names should not be abbreviated"),
                            QStringLiteral("use full first names wherever it"),
                            QStringLiteral("is possible in their own lines")};
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    const auto baseline = [&](int line) { return 560 - leading * line; };
    for (int i = 0; i < left.size(); ++i)
        writer.addText(0, QPointF(54, baseline(i)), left[i], FixtureFont::Helvetica, size);
    for (int i = int(right.size()) - 1; i >= 0; --i)
        writer.addText(0, QPointF(318, baseline(i)), right[i], FixtureFont::Helvetica, size);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    ASSERT_GT(page.text()->boxes[0].height(), leading);

    QStringList wrong;
    const auto pickEveryWord = [&](const QStringList &lines, double x0) {
        for (int i = 0; i < lines.size(); ++i) {
            int from = 0;
            for (const QString &word : lines[i].split(QLatin1Char(' '))) {
                const double start = x0 + PdfFixtureWriter::textWidth(lines[i].left(from), FixtureFont::Helvetica, size);
                const double width = PdfFixtureWriter::textWidth(word, FixtureFont::Helvetica, size);
                for (double across : {0.2, 0.5, 0.8})
                    for (double up : {-0.2, -0.1, 0.1, 0.35, 0.6, 0.7}) {
                        const QPointF point(start + width * across, baseline(i) + size * up);
                        if (const QString picked = page.selectionForWord(point).string(); picked != word)
                            wrong << QStringLiteral("%1 at (%2, %3): '%4'").arg(word).arg(point.x()).arg(point.y()).arg(picked);
                    }
                from += int(word.size()) + 1;
            }
        }
    };
    pickEveryWord(left, 54);
    pickEveryWord(right, 318);
    EXPECT_TRUE(wrong.isEmpty()) << qPrintable(wrong.join(QLatin1Char('\n')));
}
