#include <gtest/gtest.h>

#include <thread>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfSearch.h"

using namespace folvan::engine;

namespace {

constexpr double kEps = 1e-3;
constexpr double kAdvance = 7.2; // Courier at 12 points

std::shared_ptr<PdfDocument> makeDocument(int pages = 3)
{
    PdfFixtureWriter writer;
    for (int p = 0; p < pages; ++p) {
        writer.addPage(QSizeF(612, 792));
        writer.addText(p, QPointF(72, 700), QStringLiteral("The Reader reads a paper"), FixtureFont::Courier, 12);
        writer.addText(p, QPointF(72, 680), QStringLiteral("about reading."), FixtureFont::Courier, 12);
    }
    return PdfDocument::openData(writer.data());
}

// A fixture opened afresh or, with `kept`, with its first page's text read
// and kept, which the search then reads instead of its own.
std::shared_ptr<PdfDocument> openFixture(const QByteArray &data, bool kept)
{
    auto doc = PdfDocument::openData(data);
    if (doc && kept)
        doc->page(0).text();
    return doc;
}

// The text of every match of each query in turn.
std::vector<QString> matchedStrings(const std::shared_ptr<PdfDocument> &doc, std::initializer_list<QString> queries)
{
    std::vector<QString> found;
    for (const QString &query : queries) {
        for (const PdfSelection &match : findAll(doc, query))
            found.push_back(match.string());
    }
    return found;
}

} // namespace

TEST(Search, FindsEveryMatchInDocumentOrderIgnoringCase)
{
    auto doc = makeDocument();
    ASSERT_TRUE(doc);
    const auto matches = findAll(doc, QStringLiteral("READ"));
    ASSERT_EQ(matches.size(), 9u);
    for (size_t i = 0; i < matches.size(); ++i) {
        ASSERT_EQ(matches[i].pages().size(), 1u);
        EXPECT_EQ(matches[i].pages().front().index(), int(i / 3));
    }
    EXPECT_EQ(matches[0].ranges(0), (std::vector<PdfTextRange>{{4, 4}}));
    EXPECT_EQ(matches[0].string(), QStringLiteral("Read"));
    EXPECT_EQ(matches[1].string(), QStringLiteral("read"));
    // The match's box covers exactly its characters.
    const QRectF box = matches[0].bounds(doc->page(0));
    EXPECT_NEAR(box.left(), 72 + 4 * kAdvance, kEps);
    EXPECT_NEAR(box.width(), 4 * kAdvance, kEps);
    EXPECT_LT(box.top(), 700);
    EXPECT_GT(box.bottom(), 700);

    PdfSearchOptions exact;
    exact.caseInsensitive = false;
    EXPECT_EQ(findAll(doc, QStringLiteral("READ"), exact).size(), 0u);
    EXPECT_EQ(findAll(doc, QStringLiteral("Read"), exact).size(), 3u);
}

TEST(Search, SpacesOfTheQueryCountAndMatchLineBreaks)
{
    auto doc = makeDocument(1);
    ASSERT_TRUE(doc);
    EXPECT_EQ(findAll(doc, QStringLiteral(" reads ")).size(), 1u);
    EXPECT_EQ(findAll(doc, QStringLiteral(" Reader ")).size(), 1u);
    EXPECT_EQ(findAll(doc, QStringLiteral("  reads")).size(), 0u);
    const auto overLines = findAll(doc, QStringLiteral("paper about"));
    ASSERT_EQ(overLines.size(), 1u);
    EXPECT_EQ(overLines[0].selectionsByLine().size(), 2u);
    EXPECT_TRUE(findAll(doc, QString()).empty());
    EXPECT_TRUE(findAll(doc, QStringLiteral("missing")).empty());
}

// A word hyphenated at a line's end is found whole, the match running from
// its first piece over the hyphen and the line break to the second; a
// hyphen inside a line stays a character of its own.
TEST(Search, FindsAWordBrokenAtALineEndWholeAndAHyphenInALineAsTyped)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addText(0, QPointF(72, 700), QStringLiteral("a conference proceed-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(72, 680), QStringLiteral("ings and camera-ready proceedings"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(72, 660), QStringLiteral("in camera-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(72, 640), QStringLiteral("ready pages 10-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(72, 620), QStringLiteral("20."), FixtureFont::Courier, 12);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const auto text = doc->page(0).text();

    const auto words = findAll(doc, QStringLiteral("Proceedings"));
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].string(), QStringLiteral("proceed-\nings"));
    EXPECT_EQ(words[1].string(), QStringLiteral("proceedings"));
    // Two pieces, one on each line: the first with its hyphen.
    const std::vector<QRectF> pieces = lineBounds(*text, words[0].ranges(0).front());
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_NEAR(pieces[0].left(), 72 + 13 * kAdvance, 0.5);
    EXPECT_NEAR(pieces[0].width(), 8 * kAdvance, 0.5);
    EXPECT_NEAR(pieces[1].left(), 72, 0.5);
    EXPECT_NEAR(pieces[1].width(), 4 * kAdvance, 0.5);
    // The pieces as typed still match, each on its own line.
    EXPECT_EQ(findAll(doc, QStringLiteral("proceed-")).size(), 1u);
    EXPECT_EQ(findAll(doc, QStringLiteral("ings")).size(), 2u);

    // A hyphen of the text is matched as typed, also where the line breaks
    // at it; it is no word of its own to leave out.
    const auto compound = findAll(doc, QStringLiteral("camera-ready"));
    ASSERT_EQ(compound.size(), 2u);
    EXPECT_EQ(compound[1].string(), QStringLiteral("camera-\nready"));
    EXPECT_EQ(findAll(doc, QStringLiteral("cameraready")).size(), 1u);
    // Only letters join across a line end.
    EXPECT_TRUE(findAll(doc, QStringLiteral("1020")).empty());
}

// A margin note on the baseline of a line ending in a hyphen, read between it and the next line:
// the word joins the next line of its column, and the hyphen does not join the note.
TEST(Search, AWordBrokenAtALineEndJoinsTheNextLineOfItsColumnPastAMarginNote)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addText(0, QPointF(160, 700), QStringLiteral("printed for journals or proceed-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(40, 700), QStringLiteral("Settopmatter"), FixtureFont::Courier, 8);
    writer.addText(0, QPointF(144, 686), QStringLiteral("ings and suppressed for others"), FixtureFont::Courier, 12);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const QString string = doc->page(0).string();
    ASSERT_LT(string.indexOf(QStringLiteral("Settopmatter")), string.indexOf(QStringLiteral("ings")));

    const auto words = findAll(doc, QStringLiteral("proceedings"));
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].string(), QStringLiteral("proceed-\nings"));
    EXPECT_GE(words[0].bounds(doc->page(0)).left(), 144);
    std::vector<PdfPageMatches> pages;
    searchPages(doc, QStringLiteral("proceedings"), {}, nullptr,
                [&](PdfPageMatches &&found) { pages.push_back(std::move(found)); });
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lineBounds.size(), 1u);
    EXPECT_EQ(pages[0].lineBounds[0].size(), 2u);
    for (const QRectF &piece : pages[0].lineBounds[0])
        EXPECT_GE(piece.left(), 144);
    EXPECT_TRUE(findAll(doc, QStringLiteral("proceedsettopmatter")).empty());
}

// The row under a line that ends with a hyphen, where the word goes on,
// may come as more than one line of the text, and a note in the margin may
// be set level with it: the word goes on at the row's first piece in the
// hyphen's column, never at another piece, at the note or at the row after
// (whose box may reach into the row). The same with the page's text read
// for the search alone and with the text the page keeps.
TEST(Search, AWordBrokenAtALineEndGoesOnAtTheFirstPieceOfTheNextRowInItsColumn)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    // The next row in two pieces, the right one a hair higher.
    writer.addText(0, QPointF(72, 700), QStringLiteral("packages including the chap-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(72, 686), QStringLiteral("terbib duplicate option."), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(270, 686.03), QStringLiteral("When using it"), FixtureFont::Courier, 12);
    // A margin note level with the next row, read as one line with it.
    writer.addText(0, QPointF(160, 600), QStringLiteral("that have the run-in head-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(97.6, 586), QStringLiteral("proof (env.)"), FixtureFont::Courier, 8);
    writer.addText(0, QPointF(160, 586), QStringLiteral("ing in italics"), FixtureFont::Courier, 12);
    // A note of two lines, each read before the line it stands level with:
    // an indented one that ends with a hyphen, and the one under it.
    writer.addText(0, QPointF(30, 500), QStringLiteral("see"), FixtureFont::Courier, 8);
    writer.addText(0, QPointF(90, 500), QStringLiteral("It opens with a hyph-"), FixtureFont::Courier, 12);
    writer.addText(0, QPointF(30, 486), QStringLiteral("also"), FixtureFont::Courier, 8);
    writer.addText(0, QPointF(72, 486), QStringLiteral("enated word."), FixtureFont::Courier, 12);
    // Lines whose boxes reach into the rows around them: the row after next
    // overlaps the next row, but is no part of it.
    writer.addText(0, QPointF(72, 400), QStringLiteral("Concepts: Em-"), FixtureFont::Courier, 16);
    writer.addText(0, QPointF(72, 388), QStringLiteral("bedded systems"), FixtureFont::Courier, 16);
    writer.addText(0, QPointF(71.99, 380), QStringLiteral("Networks"), FixtureFont::Courier, 12);
    const QByteArray data = writer.data();
    ASSERT_NE(openFixture(data, true)->page(0).string().indexOf(QStringLiteral("(env.) ing")), -1);

    for (const bool kept : {false, true}) {
        auto doc = openFixture(data, kept);
        ASSERT_TRUE(doc);
        EXPECT_EQ(matchedStrings(doc, {QStringLiteral("chapterbib"), QStringLiteral("chapwhen"),
                                       QStringLiteral("heading"), QStringLiteral("headproof"),
                                       QStringLiteral("hyphenated"), QStringLiteral("hyphalso"),
                                       QStringLiteral("embedded"), QStringLiteral("emnetworks")}),
                  (std::vector<QString>{QStringLiteral("chap-\nterbib"), QStringLiteral("head-\ning"),
                                        QStringLiteral("hyph-\nenated"), QStringLiteral("Em-\nbedded")}));
        // Two pieces, the note no part of either.
        for (const PdfSelection &match : findAll(doc, QStringLiteral("heading")))
            EXPECT_GE(match.bounds(doc->page(0)).left(), 159);
        EXPECT_EQ(findAll(doc, QStringLiteral("proof")).size(), 1u);
    }
}

// A line that ends with a hyphen may itself be a later piece of its row (a
// passage set in another colour a hair off the row, words set apart), a
// line number read after it: the word goes on at the first piece of the
// next row, which starts where the row does, not where the hyphen's does.
TEST(Search, AWordBrokenAtTheEndOfARowsSecondPieceGoesOnWhereTheNextRowStarts)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    const auto row = [&](double y, const QString &left, const QString &right, const QString &number) {
        writer.addText(0, QPointF(72, y), left, FixtureFont::Courier, 12);
        writer.addText(0, QPointF(72 + left.size() * kAdvance + 12, y + 0.2), right, FixtureFont::Courier, 12);
        writer.addText(0, QPointF(30, y), number, FixtureFont::Courier, 8);
    };
    // Only the next row's second piece under the hyphen's piece.
    row(700, QStringLiteral("this is the red text"), QStringLiteral("It adds infor-"), QStringLiteral("343"));
    row(686, QStringLiteral("mation to the reader."), QStringLiteral("Its output is bold."), QStringLiteral("344"));
    // Both under it, the first reaching far before it.
    row(660, QStringLiteral("this is red."), QStringLiteral("It needs expla-"), QStringLiteral("345"));
    row(646, QStringLiteral("nations of the reader."), QStringLiteral("Its output is bold."), QStringLiteral("346"));
    // Every word a piece of its own, the first row indented.
    const auto words = [&](double x, double y, const QStringList &list) {
        for (const QString &word : list) {
            writer.addText(0, QPointF(x, y), word, FixtureFont::Courier, 12);
            x += word.size() * kAdvance + 12;
        }
    };
    words(82, 540, {QStringLiteral("The"), QStringLiteral("long"), QStringLiteral("term"), QStringLiteral("reposi-")});
    words(72, 526, {QStringLiteral("tory"), QStringLiteral("that"), QStringLiteral("has"), QStringLiteral("made"),
                    QStringLiteral("Identifier")});
    // Nothing of the next row under the hyphen's piece.
    row(600, QStringLiteral("one enhanced digital item."), QStringLiteral("Sets, anima-"), QStringLiteral("404"));
    row(586, QStringLiteral("tions and tables."), QString(), QStringLiteral("405"));
    const QByteArray data = writer.data();

    for (const bool kept : {false, true}) {
        auto doc = openFixture(data, kept);
        ASSERT_TRUE(doc);
        EXPECT_EQ(matchedStrings(doc, {QStringLiteral("information"), QStringLiteral("inforits"),
                                       QStringLiteral("explanations"), QStringLiteral("explareader"),
                                       QStringLiteral("repository"), QStringLiteral("reposimade"),
                                       QStringLiteral("animations"), QStringLiteral("anima404")}),
                  (std::vector<QString>{QStringLiteral("infor-\nmation"), QStringLiteral("expla-\nnations"),
                                        QStringLiteral("reposi-\ntory"), QStringLiteral("anima-\ntions")}));
    }
}

TEST(Search, RunsOnAPrivateCopyInAnotherThreadAndStops)
{
    auto doc = makeDocument(5);
    ASSERT_TRUE(doc);
    std::vector<PdfSelection> found;
    std::thread worker([&] {
        auto copy = PdfDocument::openData(doc->data());
        ASSERT_TRUE(copy);
        for (const PdfSelection &match : findAll(copy, QStringLiteral("paper")))
            found.push_back(doc->page(match.pages().front().index()).selection(match.ranges(match.pages().front()).front()));
    });
    // Meanwhile the main thread uses its own document.
    EXPECT_EQ(findAll(doc, QStringLiteral("paper")).size(), 5u);
    worker.join();
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[4].document(), doc);
    EXPECT_EQ(found[4].string(), QStringLiteral("paper"));

    std::atomic_bool stop{true};
    EXPECT_TRUE(findAll(doc, QStringLiteral("paper"), {}, &stop).empty());
}

TEST(Search, HandsOverPagesInOrderWithLineBoxesAndStopsBetweenPages)
{
    auto doc = makeDocument(4);
    ASSERT_TRUE(doc);
    std::vector<PdfPageMatches> pages;
    EXPECT_TRUE(searchPages(doc, QStringLiteral("paper about"), {}, nullptr,
                            [&](PdfPageMatches &&found) { pages.push_back(std::move(found)); }));
    ASSERT_EQ(pages.size(), 4u);
    for (size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(pages[p].page, int(p));
        ASSERT_EQ(pages[p].ranges.size(), 1u);
        ASSERT_EQ(pages[p].lineBounds.size(), 1u);
        // One box on each line, the same as those of the page's own text.
        const auto text = doc->page(int(p)).text();
        ASSERT_EQ(pages[p].ranges[0].size(), 1u);
        EXPECT_EQ(pages[p].lineBounds[0], lineBounds(*text, pages[p].ranges[0].front()));
    }
    const std::vector<QRectF> &boxes = pages[0].lineBounds[0];
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NEAR(boxes[0].left(), 72 + 19 * kAdvance, 0.5);
    EXPECT_NEAR(boxes[0].width(), 5 * kAdvance, 0.5);
    EXPECT_NEAR(boxes[1].left(), 72, 0.5);
    EXPECT_NEAR(boxes[1].width(), 5 * kAdvance, 0.5);
    EXPECT_GT(boxes[0].bottom(), boxes[1].bottom());

    // A stop raised while a page is handed over ends the search before the
    // next page.
    std::atomic_bool stop{false};
    int handed = 0;
    EXPECT_FALSE(searchPages(doc, QStringLiteral("read"), {}, &stop, [&](PdfPageMatches &&) {
        ++handed;
        stop = true;
    }));
    EXPECT_EQ(handed, 1);
}
