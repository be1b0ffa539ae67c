// The pane's text search: debounce, delivery checks, stepping.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "engine/PdfDocument.h"
#include "engine/PdfSearch.h"
#include "platform/Clock.h"

#include <QSemaphore>

namespace folvan::pane::test {

namespace {

class SearchTest : public OneControllerTest {
protected:
    void SetUp() override
    {
        OneControllerTest::SetUp();
        file = paper(QStringLiteral("search.pdf"), 3, QStringLiteral("alpha beta gamma"));
        ASSERT_TRUE(openAndWait(*pane, file));
        pane->findInPDF();
    }

    // Holds the shared search queue until released, so that a job stays
    // queued behind it.
    void blockQueue()
    {
        PaneController::readingSearchQueue().async([gate = gate] { gate->acquire(); });
    }
    void releaseQueue() { gate->release(); }
    // Lets the search delay pass: a search due now is queued.
    void delayPasses() { clock.advance(PaneController::kSearchDelaySeconds); }
    bool settles()
    {
        delayPasses();
        return searchSettles();
    }

    platform::ManualClock clock;
    QString file;
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
};

} // namespace

TEST_F(SearchTest, OnlyTheLastQueryOfABurstIsSearchedAfterTheDelay)
{
    // "a" would also match "beta" and "gamma".
    bool otherQueryShown = false;
    QObject::connect(&model(), &model::SharedPDFViewModel::searchResultsChanged, pane.get(), [&] {
        for (const engine::PdfSelection &match : model().searchResults())
            otherQueryShown = otherQueryShown || match.string() != QStringLiteral("alpha");
    });
    model().searchTextEntered(QStringLiteral("a"));
    clock.advance(PaneController::kSearchDelaySeconds - 0.01);
    model().searchTextEntered(QStringLiteral("ALPHA"));
    EXPECT_TRUE(pane->searchRunning());
    clock.advance(PaneController::kSearchDelaySeconds - 0.01);
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle();
    EXPECT_TRUE(model().searchResults().empty()) << "searched before the delay after the last change";

    clock.advance(0.01);
    ASSERT_TRUE(searchSettles());
    EXPECT_FALSE(otherQueryShown);
    EXPECT_EQ(model().searchResults().size(), 3u) << "letter case is ignored";
    EXPECT_EQ(model().searchResults().front().string(), QStringLiteral("alpha"));
    EXPECT_EQ(model().searchResults().front().document(), model().pdfDocument());
}

TEST_F(SearchTest, ABlankQueryStartsNoSearch)
{
    model().searchTextEntered(QStringLiteral("  \n "));
    EXPECT_FALSE(pane->searchRunning());
    delayPasses();
    waitForIdle();
    EXPECT_TRUE(model().searchResults().empty());
}

TEST_F(SearchTest, AResultForAClosedBarIsDropped)
{
    blockQueue();
    model().searchTextEntered(QStringLiteral("gamma"));
    delayPasses(); // the job now waits behind the blocker
    pane->closeSearch();
    releaseQueue();
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle();
    EXPECT_TRUE(model().searchResults().empty());
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_TRUE(model().searchText().isEmpty());
}

TEST_F(SearchTest, AResultForAnotherDocumentObjectIsAskedAgainOfTheNewOne)
{
    blockQueue();
    model().searchTextEntered(QStringLiteral("gamma"));
    delayPasses();
    const auto replacement = engine::PdfDocument::open(file);
    model::SharedPDFViewModelTestPeer(&model()).setPdfDocument(replacement);
    releaseQueue();
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle(); // the stale result arrives and the search is asked for again
    EXPECT_TRUE(model().searchResults().empty());

    ASSERT_TRUE(settles());
    ASSERT_FALSE(model().searchResults().empty());

    EXPECT_FALSE(pane->searchRunning());
    EXPECT_EQ(model().searchResults().front().document(), replacement);
}

TEST_F(SearchTest, AFailedOpenDoesNotLeaveTheSearchRunning)
{
    const QString broken = path(QStringLiteral("papers/broken.pdf"));
    ASSERT_TRUE(writeBytes(broken, "%PDF-1.4 garbage"));

    model().searchTextEntered(QStringLiteral("alpha"));
    pane->loadPDF(QUrl::fromLocalFile(broken));
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    ASSERT_TRUE(settles());
    EXPECT_EQ(model().searchResults().size(), 3u);
}

TEST_F(SearchTest, OpeningAnotherPaperClearsTheSearch)
{
    const QString other = paper(QStringLiteral("other.pdf"), 2);
    model().searchTextEntered(QStringLiteral("alpha"));
    ASSERT_TRUE(openAndWait(*pane, other));
    delayPasses();
    waitForIdle();
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_FALSE(model().showSearch());
    EXPECT_TRUE(model().searchText().isEmpty());
    EXPECT_TRUE(model().searchResults().empty());
}

TEST_F(SearchTest, AResultForAPaneThatIsGoneIsDropped)
{
    blockQueue();
    model().searchTextEntered(QStringLiteral("alpha"));
    delayPasses();
    // Another pane on the same paper, searching nothing.
    auto other = makePane();
    ASSERT_TRUE(openAndWait(*other, file));
    pane.reset();
    releaseQueue();
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle(); // the delivery finds no pane and reaches no other
    EXPECT_TRUE(other->viewModel()->searchResults().empty());
    EXPECT_FALSE(other->searchRunning());
}

TEST_F(SearchTest, ADocumentWithoutAFileIsSearchedAsWell)
{
    model::SharedPDFViewModelTestPeer(&model()).setPdfDocumentURL(QUrl());
    model().searchTextEntered(QStringLiteral("beta"));
    ASSERT_TRUE(settles());

    EXPECT_EQ(model().searchResults().size(), 3u);
}

// ---------------------------------------------------------------- long papers

class LongPaperSearchTest : public OneControllerTest {
protected:
    void SetUp() override
    {
        OneControllerTest::SetUp();
        file = paper(QStringLiteral("long.pdf"), kPages, QStringLiteral("alpha beta alpha"));
        ASSERT_TRUE(openAndWait(*pane, file));
        pane->findInPDF();
    }
    // Starts a search and waits for its first matches.
    bool searchUntilFirstMatches(const QString &query)
    {
        model().searchTextEntered(query);
        clock.advance(PaneController::kSearchDelaySeconds);
        return waitFor([&] { return !model().searchResults().empty(); });
    }

    static constexpr int kPages = 400;
    platform::ManualClock clock;
    QString file;
};

TEST_F(LongPaperSearchTest, MatchesArriveInPageOrderAndAddUpToTheWholeSearch)
{
    std::vector<size_t> sizes;
    bool earlierKept = true;
    model::SelectionList seen;
    QObject::connect(&model(), &model::SharedPDFViewModel::searchResultsChanged, pane.get(), [&] {
        const model::SelectionList &now = model().searchResults();
        if (now.empty())
            return;
        earlierKept = earlierKept && now.size() > seen.size() && std::equal(seen.begin(), seen.end(), now.begin());
        seen = now;
        sizes.push_back(now.size());
    });
    ASSERT_TRUE(searchUntilFirstMatches(QStringLiteral("ALPHA")));
    // The first match is shown at once.
    EXPECT_EQ(model().currentSearchIndex(), 0);
    EXPECT_EQ(model().currentPageIndex(), 0);
    ASSERT_TRUE(searchSettles());

    EXPECT_TRUE(earlierKept);
    EXPECT_GE(sizes.size(), 2u) << "the first matches came alone";
    const model::SelectionList whole = engine::findAll(model().pdfDocument(), QStringLiteral("ALPHA"));
    ASSERT_EQ(whole.size(), size_t(2 * kPages));
    EXPECT_EQ(model().searchResults(), whole);
    EXPECT_EQ(model().currentSearchIndex(), 0);

    // The marks made with the batches are those laid out from all matches.
    const model::SearchRectMap marks = model().searchRects();
    EXPECT_EQ(marks.size(), size_t(kPages));
    model().rebuildSearchRects();
    EXPECT_EQ(marks, model().searchRects());
}

TEST_F(LongPaperSearchTest, ANewerQueryStopsTheOlderOneWhoseMatchesNeverAppear)
{
    bool betaShown = false;
    QObject::connect(&model(), &model::SharedPDFViewModel::searchResultsChanged, pane.get(), [&] {
        for (const engine::PdfSelection &match : model().searchResults())
            betaShown = betaShown || match.string() == QStringLiteral("beta");
    });
    // The older search is stopped wherever it is when the newer query comes.
    ASSERT_TRUE(searchUntilFirstMatches(QStringLiteral("beta")));
    betaShown = false;
    model().searchTextEntered(QStringLiteral("Page 1"));
    EXPECT_TRUE(model().searchResults().empty());
    clock.advance(PaneController::kSearchDelaySeconds);
    ASSERT_TRUE(searchSettles());
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle();
    EXPECT_FALSE(betaShown);
    // "Page 1", "Page 10" ... "Page 199": 111 pages.
    EXPECT_EQ(model().searchResults().size(), 111u);
}

TEST_F(LongPaperSearchTest, ClosingThePaperMidSearchEndsItAndLetsTheDocumentGo)
{
    ASSERT_TRUE(searchUntilFirstMatches(QStringLiteral("beta")));
    const std::weak_ptr<engine::PdfDocument> searched = model().pdfDocument();
    pane->closePDF();
    EXPECT_FALSE(pane->searchRunning());
    PaneController::readingSearchQueue().waitForDone();
    waitForIdle();
    EXPECT_TRUE(model().searchResults().empty());
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_TRUE(searched.expired());
}

} // namespace folvan::pane::test
