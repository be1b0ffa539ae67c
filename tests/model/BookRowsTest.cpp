// The book view's native half: visible pages, link rows, following links,
// the selection gesture and the overlay rows.

#include "support/SharedPDFViewModelTestPeer.h"
#include "ModelFixtures.h"
#include "engine/PdfSearch.h"
#include "model/PaperCoordinates.h"

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

namespace {

constexpr double kAdvance = 7.2; // Courier at 12 points
constexpr double kAspect = 792.0 / 612.0;
const double kCurrentMatch[4] = {1.0, 0.51, 0.12, 0.3};
const double kSelection[4] = {0.21, 0.52, 1.0, 0.22};

// The middle of character i of the text line at baseline 700; a selection
// from one middle to another takes the characters between them.
QPointF charAt(int i)
{
    return QPointF(72 + kAdvance * (i + 0.5), 703);
}

class BookRows : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::PdfFixtureWriter writer;
        for (int i = 0; i < 6; ++i)
            writer.addPage();
        for (int i = 0; i < 6; ++i) {
            writer.addText(i, QPointF(72, 700), QStringLiteral("page text here"), engine::FixtureFont::Courier, 12);
            writer.addLink(i, QRectF(72, 100 + i, 50, 10), (i + 1) % 6, QPointF(72, 500));
        }
        writer.addUriLink(1, QRectF(200, 200, 40, 10), QStringLiteral("HTTPS://example.org/a"));
        writer.addUriLink(1, QRectF(200, 300, 40, 10), QStringLiteral("file:///etc/passwd"));
        writer.addUriLink(1, QRectF(200, 400, 40, 10), QStringLiteral("javascript:alert(1)"));
        // Not a link, but with a web action: listed among the links too.
        writer.addRawAnnotation(2, "/Subtype /Square /Rect [300 300 340 320] /A << /S /URI /URI (mailto:a@b.c) >>");
        // A highlight: not a link.
        writer.addHighlight(2, {QRectF(72, 600, 50, 10)}, Qt::yellow);
        document = engine::PdfDocument::openData(writer.data());
        ASSERT_TRUE(document);
        test::openAndShowInModel(model, document, QUrl());
    }

    QPointF uv(int page, QPointF point) const
    {
        return PaperCoordinates::make(document->page(page), kAspect)->paperRect(QRectF(point, QSizeF())).topLeft();
    }
    std::vector<int> pagesOf(const std::vector<BookRow> &rows) const
    {
        std::vector<int> pages;
        for (const BookRow &row : rows)
            pages.push_back(int(row.at(0)));
        return pages;
    }
    std::vector<int> linkPagesAt(int current)
    {
        SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(current);
        std::vector<int> pages = pagesOf(model.bookLinks(kAspect));
        pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
        return pages;
    }
    static bool coloured(const BookRow &row, const double *rgba)
    {
        return row.size() == 9 && std::equal(rgba, rgba + 4, row.begin() + 5);
    }

    std::shared_ptr<engine::PdfDocument> document;
    QList<QUrl> opened;
    // Links opened outside are only recorded.
    SharedPDFViewModel model{PaneModelServices{{}, [this](const QUrl &url) { opened << url; }, {}}};
};

} // namespace

TEST_F(BookRows, SpreadsAreThePageAloneAtFirstThenPairs)
{
    EXPECT_EQ(linkPagesAt(0), (std::vector<int>{0}));
    EXPECT_EQ(linkPagesAt(2), (std::vector<int>{1, 2}));
    EXPECT_EQ(linkPagesAt(3), (std::vector<int>{3, 4}));
    EXPECT_EQ(linkPagesAt(5), (std::vector<int>{5})); // its partner does not exist
    SharedPDFViewModelTestPeer(&model).setBookLayout(platform::BookLayout::Single);
    EXPECT_EQ(linkPagesAt(2), (std::vector<int>{2}));
}

TEST_F(BookRows, APendingJumpDecidesTheVisiblePages)
{
    SharedPDFViewModelTestPeer(&model).setJumpToPage(4);
    EXPECT_EQ(linkPagesAt(0), (std::vector<int>{3, 4}));
}

TEST_F(BookRows, LinkRowsAreSheetRectanglesOfLinksAndWebActions)
{
    SharedPDFViewModelTestPeer(&model).setBookLayout(platform::BookLayout::Single);
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(0);
    const std::vector<BookRow> rows = model.bookLinks(kAspect);
    ASSERT_EQ(rows.size(), 1u);
    const QRectF sheet = PaperCoordinates::make(document->page(0), kAspect)->paperRect(QRectF(72, 100, 50, 10));
    EXPECT_EQ(rows[0], (BookRow{0, sheet.x(), sheet.y(), sheet.width(), sheet.height()}));

    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(1);
    EXPECT_EQ(model.bookLinks(kAspect).size(), 4u); // every link, whatever its scheme
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    EXPECT_EQ(model.bookLinks(kAspect).size(), 2u); // the link and the square with a web action
    EXPECT_TRUE(model.bookLinks(0).empty());
}

TEST_F(BookRows, APageListsAtMost128Links)
{
    engine::PdfFixtureWriter writer;
    writer.addPage();
    for (int i = 0; i < 200; ++i)
        writer.addUriLink(0, QRectF(10 + i, 10, 1, 1), QStringLiteral("https://example.org"));
    auto many = engine::PdfDocument::openData(writer.data());
    ASSERT_TRUE(many);
    test::openAndShowInModel(model, many, QUrl());
    EXPECT_EQ(model.bookLinks(kAspect).size(), 128u);
}

TEST_F(BookRows, FollowingLinksInsideAndOutside)
{
    model.activateBookLink(0, uv(0, QPointF(80, 105)), kAspect);
    EXPECT_EQ(model.jumpToPage(), 1);
    EXPECT_EQ(model.backLocations().size(), 1u);

    model.activateBookLink(1, uv(1, QPointF(210, 205)), kAspect);
    model.activateBookLink(1, uv(1, QPointF(210, 305)), kAspect);
    model.activateBookLink(1, uv(1, QPointF(210, 405)), kAspect);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].host(), QStringLiteral("example.org"));

    // Nothing under the point, or a point in the sheet's margin.
    model.activateBookLink(1, uv(1, QPointF(400, 600)), kAspect);
    model.activateBookLink(1, QPointF(0.01, 0.5), 2.0);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(model.jumpToPage(), 1);
}

TEST_F(BookRows, TheSelectionGestureStartsMovesAndEnds)
{
    // A move before any start changes nothing.
    model.selectBook(3, uv(3, charAt(3)), kAspect, BookSelectionPhase::Move, "g1");
    EXPECT_EQ(model.selectionText(), QString());
    EXPECT_FALSE(model.bookSelectionAnchor());

    model.selectBook(3, uv(3, charAt(0)), kAspect, BookSelectionPhase::Start, "g1");
    EXPECT_EQ(model.currentPageIndex(), 3);
    ASSERT_TRUE(model.bookSelectionAnchor());
    model.selectBook(3, uv(3, charAt(4)), kAspect, BookSelectionPhase::Move, "g1");
    EXPECT_EQ(model.selectionText(), QStringLiteral("page"));
    ASSERT_TRUE(model.retainedDestination());
    EXPECT_EQ(model.retainedDestination()->pageIndex, 3);

    // Another gesture is ignored.
    model.selectBook(3, uv(3, charAt(8)), kAspect, BookSelectionPhase::Move, "g2");
    EXPECT_EQ(model.selectionText(), QStringLiteral("page"));

    model.selectBook(3, uv(3, charAt(9)), kAspect, BookSelectionPhase::End, "g1");
    EXPECT_EQ(model.selectionText(), QStringLiteral("page text"));
    EXPECT_FALSE(model.bookSelectionAnchor());
    EXPECT_FALSE(model.bookSelectionGesture());
    model.selectBook(3, uv(3, charAt(13)), kAspect, BookSelectionPhase::Move, "g1");
    EXPECT_EQ(model.selectionText(), QStringLiteral("page text"));
    EXPECT_TRUE(model.retainedSelection());
}

TEST_F(BookRows, AWordThenAMoveSelectsFromThePointNotByWord)
{
    model.selectBook(2, uv(2, charAt(6)), kAspect, BookSelectionPhase::Word, "w");
    EXPECT_EQ(model.selectionText(), QStringLiteral("text"));
    model.selectBook(2, uv(2, charAt(12)), kAspect, BookSelectionPhase::Move, "w");
    EXPECT_EQ(model.selectionText(), QStringLiteral("ext he"));
}

TEST_F(BookRows, ClearingForgetsTheSelectionAndRedraws)
{
    model.selectBook(2, uv(2, charAt(6)), kAspect, BookSelectionPhase::Word, "w");
    SharedPDFViewModelTestPeer(&model).setReflowSources({ReadingTextSource{}});
    const int revision = model.readingOverlayRevision();
    model.clearBookSelection();
    EXPECT_FALSE(model.retainedSelection());
    EXPECT_EQ(model.selectionText(), QString());
    EXPECT_TRUE(model.reflowSources().empty());
    EXPECT_FALSE(model.bookSelectionAnchor());
    EXPECT_EQ(model.readingOverlayRevision(), revision + 1);
}

TEST_F(BookRows, ASelectionOverTwoPagesOfASpreadIsDrawnOnBoth)
{
    model.selectBook(3, uv(3, charAt(5)), kAspect, BookSelectionPhase::Start, "g");
    model.selectBook(4, uv(4, charAt(3)), kAspect, BookSelectionPhase::End, "g");
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(3);
    const std::vector<BookRow> rows = model.bookOverlays(kAspect);
    EXPECT_EQ(pagesOf(rows), (std::vector<int>{3, 4}));
    for (const BookRow &row : rows)
        EXPECT_TRUE(coloured(row, kSelection));
}

TEST_F(BookRows, TheCurrentMatchIsListedFirstThenAgainAmongTheMarks)
{
    SharedPDFViewModelTestPeer(&model).setShowSearch(true);
    SharedPDFViewModelTestPeer(&model).setSearchResults(engine::findAll(document, QStringLiteral("text")));
    SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(1); // page 1
    model.rebuildSearchRects();
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(1);
    std::vector<BookRow> rows = model.bookOverlays(kAspect);
    ASSERT_EQ(rows.size(), 3u); // current match, then the marks of pages 1 and 2
    EXPECT_TRUE(coloured(rows[0], kCurrentMatch));
    EXPECT_EQ(std::vector<double>(rows[0].begin(), rows[0].begin() + 5),
              std::vector<double>(rows[1].begin(), rows[1].begin() + 5));
    EXPECT_EQ(std::vector<double>(rows[1].begin() + 5, rows[1].end()), (std::vector<double>{0.96, 0.79, 0.12, 0.18}));
    EXPECT_EQ(pagesOf(rows), (std::vector<int>{1, 1, 2}));

    SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(int(model.searchResults().size()));
    rows = model.bookOverlays(kAspect);
    EXPECT_EQ(rows.size(), 2u);
}

TEST_F(BookRows, OverlaysAreCutAt512SoTheSelectionGoesFirst)
{
    SharedPDFViewModelTestPeer(&model).setShowSearch(true);
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(0);
    SharedPDFViewModelTestPeer(&model).setSearchResults(SelectionList(600, engine::findAll(document, QStringLiteral("page")).at(0)));
    model.rebuildSearchRects(); // 384 rows on page 0
    SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(0);
    model.selectBook(0, uv(0, charAt(0)), kAspect, BookSelectionPhase::Word, "w");
    std::vector<BookRow> rows = model.bookOverlays(kAspect);
    EXPECT_EQ(rows.size(), 385u + 1u);
    EXPECT_TRUE(coloured(rows.back(), kSelection));

    // Marks filling both pages of a spread leave no room for the selection.
    const SelectionList matches = engine::findAll(document, QStringLiteral("page")); // one a page
    SelectionList spread(300, matches.at(1));
    spread.insert(spread.end(), 300, matches.at(2));
    SharedPDFViewModelTestPeer(&model).setSearchResults(spread);
    model.rebuildSearchRects();
    model.selectBook(1, uv(1, charAt(0)), kAspect, BookSelectionPhase::Word, "w");
    ASSERT_EQ(model.visibleBookPages(), (std::vector<int>{1, 2}));
    rows = model.bookOverlays(kAspect);
    ASSERT_EQ(rows.size(), 512u);
    EXPECT_FALSE(coloured(rows.back(), kSelection));
}

// A jump to a passage leaves it marked in its own colour on its page once a
// view has carried the jump out; a selection, a click or another jump takes
// the mark away.
TEST_F(BookRows, APassageJumpedToIsMarkedUntilTheReaderSelectsOrMovesOn)
{
    const double kPassage[4] = {0.2, 0.78, 0.35, 0.3};
    const engine::PdfSelection passage = engine::findAll(document, QStringLiteral("text here")).at(3);
    model.setPassageFinder([&](const ReadingTextSource &source) {
        return source.page == 3 ? std::optional(passage) : std::nullopt;
    });
    const auto jumpTo = [&](int page, bool withPassage) {
        ReadingLocation target;
        target.page = page;
        if (withPassage)
            target.source = ReadingTextSource{page, {}, {}, 0, 0, QStringLiteral("text here"), {}, {}, {}, {}};
        model.navigate(target, true);
    };
    const auto passageRows = [&] {
        std::vector<BookRow> rows = model.bookOverlays(kAspect);
        std::erase_if(rows, [&](const BookRow &row) { return !coloured(row, kPassage); });
        return rows;
    };

    jumpTo(3, true);
    EXPECT_TRUE(passageRows().empty()) << "not before a view carried the jump out";
    model.requestCarriedOut(model.pdfDocument(), 2); // another request's page: nothing
    EXPECT_TRUE(model.pendingTextSource());
    const int revision = model.readingOverlayRevision();
    model.requestCarriedOut(model.pdfDocument(), 3);
    EXPECT_FALSE(model.jumpToPage());
    EXPECT_FALSE(model.pendingTextSource());
    EXPECT_FALSE(model.pendingDestination());
    ASSERT_EQ(model.markedPassage(), std::optional(passage));
    EXPECT_GT(model.readingOverlayRevision(), revision);
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(3);
    std::vector<BookRow> rows = passageRows();
    ASSERT_EQ(pagesOf(rows), std::vector<int>{3});
    const QRectF sheet = PaperCoordinates::make(document->page(3), kAspect)->paperRect(passage.bounds(document->page(3)));
    EXPECT_NEAR(rows[0][1], sheet.x(), 1e-9);
    EXPECT_NEAR(rows[0][3], sheet.width(), 1e-9);

    // A new selection gesture, or a click that clears the selection.
    model.selectBook(3, uv(3, charAt(0)), kAspect, BookSelectionPhase::Start, "g");
    EXPECT_FALSE(model.markedPassage());
    jumpTo(3, true);
    model.requestCarriedOut(model.pdfDocument(), 3);
    ASSERT_TRUE(model.markedPassage());
    model.clearBookSelection();
    EXPECT_FALSE(model.markedPassage());

    // A jump elsewhere, without a passage, or to a passage not found.
    for (const auto &[page, withPassage] : {std::pair{1, false}, std::pair{4, true}}) {
        jumpTo(3, true);
        model.requestCarriedOut(model.pdfDocument(), 3);
        ASSERT_TRUE(model.markedPassage());
        jumpTo(page, withPassage);
        model.requestCarriedOut(model.pdfDocument(), page);
        EXPECT_FALSE(model.markedPassage()) << page;
    }

    // Another document drops it.
    jumpTo(3, true);
    model.requestCarriedOut(model.pdfDocument(), 3);
    SharedPDFViewModelTestPeer(&model).setPdfDocument(engine::PdfDocument::openData(engine::PdfFixtureWriter().data()));
    EXPECT_FALSE(model.markedPassage());
}
