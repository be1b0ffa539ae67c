// Search marks: rows per page from the matches, their limits, and showing the
// current match through navigation.

#include "support/SharedPDFViewModelTestPeer.h"
#include "ModelFixtures.h"
#include "engine/PdfSearch.h"

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

namespace {

constexpr double kAdvance = 7.2; // Courier at 12 points

class SearchMarks : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::PdfFixtureWriter writer;
        for (int i = 0; i < 3; ++i)
            writer.addPage();
        // "two words" runs over a line break on page 0 and over the page
        // break from page 1 to page 2.
        writer.addText(0, QPointF(72, 700), QStringLiteral("alpha two"), engine::FixtureFont::Courier, 12);
        writer.addText(0, QPointF(72, 680), QStringLiteral("words beta"), engine::FixtureFont::Courier, 12);
        writer.addText(1, QPointF(72, 700), QStringLiteral("gamma two"), engine::FixtureFont::Courier, 12);
        writer.addText(2, QPointF(72, 700), QStringLiteral("words delta"), engine::FixtureFont::Courier, 12);
        document = engine::PdfDocument::openData(writer.data());
        ASSERT_TRUE(document);
        test::openAndShowInModel(model, document, QUrl());
        SharedPDFViewModelTestPeer(&model).setShowSearch(true);
    }
    void search(const QString &query)
    {
        SharedPDFViewModelTestPeer(&model).setSearchResults(engine::findAll(document, query));
        SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(0);
    }

    std::shared_ptr<engine::PdfDocument> document;
    SharedPDFViewModel model;
};

} // namespace

TEST_F(SearchMarks, OneRowPerLinePieceOnEachPageItTouches)
{
    search(QStringLiteral("two words"));
    // A match that runs from page 1 onto page 2.
    SelectionList matches = model.searchResults();
    matches.push_back(document->selection(document->page(1), QPointF(72 + 6.5 * kAdvance, 703), document->page(2),
                                          QPointF(72 + 2.5 * kAdvance, 703)));
    SharedPDFViewModelTestPeer(&model).setSearchResults(matches);
    model.rebuildSearchRects();
    ASSERT_EQ(model.searchRects().size(), 3u);
    EXPECT_EQ(model.searchRects().at(1).size(), 1u);
    EXPECT_EQ(model.searchRects().at(2).size(), 1u);
    ASSERT_EQ(model.searchRects().at(0).size(), 2u);
    const std::vector<double> &first = model.searchRects().at(0)[0];
    ASSERT_EQ(first.size(), 8u);
    EXPECT_NEAR(first[0], 72 + 6 * kAdvance, 1e-3);
    EXPECT_NEAR(first[2], 3 * kAdvance, 1e-3);
    EXPECT_EQ(std::vector<double>(first.begin() + 4, first.end()), (std::vector<double>{0.96, 0.79, 0.12, 0.18}));
    EXPECT_NEAR(model.searchRects().at(0)[1][0], 72, 1e-3);
}

TEST_F(SearchMarks, APageKeepsAtMost384Rows)
{
    const engine::PdfSelection one = engine::findAll(document, QStringLiteral("alpha")).at(0);
    SharedPDFViewModelTestPeer(&model).setSearchResults(SelectionList(500, one));
    model.rebuildSearchRects();
    EXPECT_EQ(model.searchRects().at(0).size(), 384u);
}

TEST_F(SearchMarks, AClosedSearchBarLeavesNoMarksButStillRedraws)
{
    search(QStringLiteral("two"));
    model.rebuildSearchRects();
    EXPECT_FALSE(model.searchRects().empty());
    SharedPDFViewModelTestPeer(&model).setShowSearch(false);
    const int revision = model.readingOverlayRevision();
    model.rebuildSearchRects();
    EXPECT_TRUE(model.searchRects().empty());
    EXPECT_EQ(model.readingOverlayRevision(), revision + 1);
}

TEST_F(SearchMarks, ShowingTheCurrentMatchGoesToItsTopCentreRemembering)
{
    search(QStringLiteral("two"));
    SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(1); // "two" on page 1
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(0);
    model.showCurrentSearchResult(true);
    EXPECT_EQ(model.jumpToPage(), 1);
    ASSERT_TRUE(model.pendingDestination());
    const QRectF bounds = model.searchResults()[1].bounds(document->page(1));
    EXPECT_DOUBLE_EQ(*model.pendingDestination()->x, bounds.center().x());
    EXPECT_DOUBLE_EQ(*model.pendingDestination()->y, bounds.bottom());
    ASSERT_EQ(model.backLocations().size(), 1u);
    EXPECT_EQ(model.backLocations()[0].page, 0);

    // Going back returns to where the reader was.
    SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
    SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(1);
    model.returnLocation(false);
    EXPECT_EQ(model.jumpToPage(), 0);
}

TEST_F(SearchMarks, NoMatchOnlyRedraws)
{
    search(QStringLiteral("nothing here"));
    const int revision = model.readingOverlayRevision();
    model.showCurrentSearchResult(false);
    EXPECT_EQ(model.readingOverlayRevision(), revision + 1);
    EXPECT_FALSE(model.jumpToPage());
    SharedPDFViewModelTestPeer(&model).setCurrentSearchIndex(5);
    model.showCurrentSearchResult(true);
    EXPECT_EQ(model.readingOverlayRevision(), revision + 2);
    EXPECT_FALSE(model.jumpToPage());
}

// The reflow view tells which matches it shows inside images, also "none"
// after the matches were replaced (the list emptied, not made anew) and a
// list left empty by dropping indices that are no match: nothing changes,
// and nothing is said.
TEST_F(SearchMarks, AnEmptyReportOfMatchesInImagesChangesNothingWhereNoneAre)
{
    search(QStringLiteral("two"));
    int told = 0;
    QObject::connect(&model, &SharedPDFViewModel::searchResultsInImagesChanged, [&] { ++told; });
    model.reflowShowsResultsInImages({1});
    ASSERT_EQ(model.searchResultsInImages(), QList<int>{1});
    ASSERT_EQ(told, 1);

    search(QStringLiteral("alpha"));
    ASSERT_TRUE(model.searchResultsInImages().isEmpty());
    ASSERT_EQ(told, 2);
    model.reflowShowsResultsInImages({});
    model.reflowShowsResultsInImages({-1, 7});
    EXPECT_TRUE(model.searchResultsInImages().isEmpty());
    EXPECT_EQ(told, 2);
}
