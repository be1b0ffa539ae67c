#include <gtest/gtest.h>

#include "annotations/ReflowTextMap.h"

using namespace folvan;
using namespace folvan::annotations;

TEST(ReflowFolding, FoldsCaseAccentsLigaturesAndPunctuation)
{
    const QString input = QStringLiteral("Über-ﬁne, №5");
    const FoldedText folded(input);
    EXPECT_EQ(folded.text, QStringLiteral("uberfineno5"));
    ASSERT_EQ(folded.starts.size(), size_t(folded.text.size()));
    ASSERT_EQ(folded.ends.size(), size_t(folded.text.size()));
    // "f" and "i" both come from the ligature at offset 5.
    EXPECT_EQ(folded.starts[4], 5);
    EXPECT_EQ(folded.starts[5], 5);
    EXPECT_EQ(folded.ends[5], 6);
    // "n" and "o" come from the numero sign at offset 10.
    EXPECT_EQ(folded.starts[8], 10);
    EXPECT_EQ(folded.ends[9], 11);
    EXPECT_EQ(folded.starts[10], 11);

    EXPECT_TRUE(FoldedText(QStringLiteral(" -,. ")).text.isEmpty());
    EXPECT_TRUE(FoldedText(QString()).starts.empty());
}

TEST(ReflowFolding, KeepsOffsetsOfCombinedSequences)
{
    // "e" followed by a combining acute accent is one sequence of two units.
    const QString input = QStringLiteral("xe\u0301y");
    const FoldedText folded(input);
    EXPECT_EQ(folded.text, QStringLiteral("xey"));
    EXPECT_EQ(folded.starts, (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(folded.ends, (std::vector<int>{1, 3, 4}));
}

#include "AnnotationTestSupport.h"
#include "annotations/ReadingAids.h"

using namespace folvan::test;

namespace {

QString writeTwoCats(const QString &path)
{
    engine::PdfFixtureWriter writer;
    const int page = writer.addPage();
    writer.addText(page, QPointF(kLeft, 700), QStringLiteral("the cat sat"), engine::FixtureFont::Courier, 12);
    writer.addText(page, QPointF(kLeft, 600), QStringLiteral("the cat ran"), engine::FixtureFont::Courier, 12);
    EXPECT_TRUE(writer.save(path));
    return path;
}

model::ReadingTextSource passage(const QString &quote, const QString &before = {}, const QString &after = {})
{
    model::ReadingTextSource source;
    source.quote = quote;
    source.before = before;
    source.after = after;
    return source;
}

} // namespace

class ReflowPassages : public TempHomeTest {};

TEST_F(ReflowPassages, ContextDecidesBetweenRepeatedQuotes)
{
    auto document = engine::PdfDocument::open(writeTwoCats(path("cats.pdf")));
    ASSERT_TRUE(document);
    const engine::PdfPage page = document->page(0);

    std::optional<engine::PdfSelection> found = passageSelection(passage("Cat", "The ", " sat"), document);
    ASSERT_TRUE(found);
    EXPECT_GT(found->bounds(page).top(), 690);

    // Equal context: ambiguous. Context too weak to tell: ambiguous.
    EXPECT_FALSE(passageSelection(passage("cat"), document));
    EXPECT_FALSE(passageSelection(passage("cat", "", " sa"), document));
    EXPECT_FALSE(passageSelection(passage(" ,. "), document));

    // A place on the page narrows the candidates to one.
    model::ReadingTextSource placed = passage("cat");
    placed.pdfRect = textRect(0, 4, 7).translated(0, 600 - kLineBaselines[0]);
    found = passageSelection(placed, document);
    ASSERT_TRUE(found);
    EXPECT_LT(found->bounds(page).top(), 620);

    model::ReadingTextSource offPage = passage("cat", "the ", " sat");
    offPage.page = 3;
    EXPECT_FALSE(passageSelection(offPage, document));
}

TEST_F(ReflowPassages, SelectionsBecomePassagesAndBack)
{
    auto document = engine::PdfDocument::open(writePaper(path("a.pdf"), 2));
    ASSERT_TRUE(document);
    const engine::PdfSelection selection = document->selection(document->page(0), QPointF(kLeft + 8 * kCharWidth + 1, 683),
                                                               document->page(1), QPointF(kLeft + 10, 703));
    const std::vector<model::ReadingTextSource> sources = selectionPassages(selection, document);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].page, 0);
    EXPECT_EQ(sources[0].quote, QStringLiteral("zeta eta theta\niota kappa lambda mu"));
    EXPECT_EQ(sources[0].start, 0);
    EXPECT_EQ(sources[0].end, 0);
    EXPECT_TRUE(sources[0].before.isEmpty());
    ASSERT_TRUE(sources[0].pdfRect);
    ASSERT_TRUE(sources[0].rect);
    EXPECT_EQ(sources[1].page, 1);

    for (const model::ReadingTextSource &source : sources) {
        const engine::PdfPage page = document->page(int(source.page));
        const std::optional<engine::PdfSelection> back = passageSelection(source, document);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->string(), source.quote);
        EXPECT_EQ(back->bounds(page), selection.bounds(page));
    }
}

TEST_F(ReflowPassages, FractionsAndPageRectanglesUndoEachOtherOnTurnedPages)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792), QRectF(50, 60, 400, 500), 90);
    ASSERT_TRUE(writer.save(path("turned.pdf")));
    auto document = engine::PdfDocument::open(path("turned.pdf"));
    ASSERT_TRUE(document);
    const engine::PdfPage page = document->page(0);

    const QRectF inside(100, 120, 50, 20);
    const std::optional<std::vector<double>> fractions = pageFractions(inside, page);
    ASSERT_TRUE(fractions);
    ASSERT_EQ(fractions->size(), 4u);
    // The turned page is 500 wide and 400 high.
    EXPECT_NEAR((*fractions)[2], 20.0 / 500, 1e-9);
    EXPECT_NEAR((*fractions)[3], 50.0 / 400, 1e-9);

    model::ReadingTextSource source;
    source.rect = fractions;
    const std::optional<QRectF> back = passagePdfRect(source, page);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->x(), inside.x(), 1e-9);
    EXPECT_NEAR(back->y(), inside.y(), 1e-9);
    EXPECT_NEAR(back->width(), inside.width(), 1e-9);
    EXPECT_NEAR(back->height(), inside.height(), 1e-9);

    EXPECT_FALSE(pageFractions(QRectF(500, 700, 10, 10), page));
    source.rect = std::vector<double>{0, 0, 1};
    EXPECT_FALSE(passagePdfRect(source, page));
}

TEST_F(ReflowPassages, FragmentsDescribeEachRectangle)
{
    auto document = engine::PdfDocument::open(writePaper(path("a.pdf")));
    ASSERT_TRUE(document);
    const engine::PdfPage page = document->page(0);
    ReadingAnnotationItem item;
    item.id = QStringLiteral("ID");
    item.kind = QStringLiteral("underline");
    item.note = QStringLiteral("n");
    item.color = {0.5, 0.25, 1, 0.35};
    item.rectangles = {textRect(0, 6, 10), QRectF(2000, 2000, 5, 5), QRectF(300, 300, 20, 20)};
    const std::vector<platform::json> fragments = reflowFragments(item, page);
    ASSERT_EQ(fragments.size(), 1u);
    const platform::json &f = fragments.front();
    EXPECT_EQ(f["id"], "ID");
    EXPECT_EQ(f["page"], 0);
    EXPECT_EQ(f["quote"], "beta");
    EXPECT_EQ(f["before"], "alpha ");
    EXPECT_EQ(f["after"].get<std::string>().substr(0, 13), " gamma delta\n");
    EXPECT_EQ(f["color"], platform::json::array({0.5, 0.25, 1.0}));
    ASSERT_EQ(f["rect"].size(), 4u);
    EXPECT_NEAR(f["rect"][0].get<double>(), (kLeft + 6 * kCharWidth) / 612, 1e-9);

    item.rectangles.assign(300, textRect(1, 0, 7));
    EXPECT_EQ(reflowFragments(item, page).size(), 250u);
}

class ReadingOrder : public TempHomeTest {};

TEST_F(ReadingOrder, FullWidthItemsCutTwoColumnsIntoBands)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    ASSERT_TRUE(writer.save(path("p.pdf")));
    auto document = engine::PdfDocument::open(path("p.pdf"));
    ASSERT_TRUE(document);
    auto item = [](const QString &id, QRectF r) {
        ReadingAnnotationItem i;
        i.id = id;
        i.rectangles = {r};
        return i;
    };
    const std::vector<ReadingAnnotationItem> items = {
        item("rightBelow", QRectF(320, 400, 200, 12)), item("leftBelow", QRectF(50, 380, 200, 12)),
        item("caption", QRectF(50, 500, 400, 12)),     item("rightAbove", QRectF(320, 690, 200, 12)),
        item("leftAbove2", QRectF(60, 650, 200, 12)),  item("leftAbove1", QRectF(50, 650, 200, 12)),
        item("exactWidth", QRectF(0, 100, 0.58 * 612, 12))};
    QStringList order;
    for (const ReadingAnnotationItem &i : inReadingOrder(items, document->page(0)))
        order << i.id;
    EXPECT_EQ(order, QStringList({"leftAbove1", "leftAbove2", "caption", "rightAbove", "leftBelow", "exactWidth",
                                  "rightBelow"}));
}
