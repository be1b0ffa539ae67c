// The pane's text search: debounce, delivery checks, stepping.

#include "PaneTestSupport.h"

#include "engine/PdfDocument.h"

#include <QSemaphore>

namespace folvan::window::test {

namespace {

class SearchTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        file = paper(QStringLiteral("search.pdf"), 3, QStringLiteral("alpha beta gamma"));
        ASSERT_TRUE(openAndWait(*pane, file));
        pane->findInPDF();
    }

    // Holds the shared search queue until released, so that a job stays
    // queued behind it.
    void blockQueue()
    {
        ContentView::readingSearchQueue().async([gate = gate] { gate->acquire(); });
    }
    void releaseQueue() { gate->release(); }

    QString file;
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
};

} // namespace

TEST_F(SearchTest, OnlyTheLastQueryOfABurstIsSearchedAfterTheDelay)
{
    int deliveries = 0;
    QObject::connect(&model(), &SharedPDFViewModel::searchResultsChanged, pane.get(), [&] {
        if (!model().searchResults().empty())
            ++deliveries;
    });
    model().setSearchText(QStringLiteral("a"));
    model().setSearchText(QStringLiteral("al"));
    QElapsedTimer sinceLastChange;
    sinceLastChange.start();
    model().setSearchText(QStringLiteral("ALPHA"));
    EXPECT_TRUE(pane->searchRunning());

    ASSERT_TRUE(waitUntil([&] { return !model().searchResults().empty(); }));
    EXPECT_GE(sinceLastChange.elapsed(), 190);
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(model().searchResults().size(), 3u) << "letter case is ignored";
    EXPECT_EQ(model().searchResults().front().string(), QStringLiteral("alpha"));
    EXPECT_EQ(model().searchResults().front().document(), model().pdfDocument());
}

TEST_F(SearchTest, ABlankQueryStartsNoSearch)
{
    model().setSearchText(QStringLiteral("  \n "));
    EXPECT_FALSE(pane->searchRunning());
    spin(300);
    EXPECT_TRUE(model().searchResults().empty());
}

TEST_F(SearchTest, AResultForAClosedBarIsDropped)
{
    blockQueue();
    model().setSearchText(QStringLiteral("gamma"));
    spin(300); // the job now waits behind the blocker
    pane->closeSearch();
    releaseQueue();
    ContentView::readingSearchQueue().waitForDone();
    spin(100);
    EXPECT_TRUE(model().searchResults().empty());
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_TRUE(model().searchText().isEmpty());
}

TEST_F(SearchTest, AResultForAnotherDocumentObjectIsAskedAgainOfTheNewOne)
{
    blockQueue();
    model().setSearchText(QStringLiteral("gamma"));
    spin(300);
    const auto replacement = engine::PdfDocument::open(file);
    model().setPdfDocument(replacement);
    releaseQueue();

    ASSERT_TRUE(waitUntil([&] { return !model().searchResults().empty(); }));
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_EQ(model().searchResults().front().document(), replacement);
}

TEST_F(SearchTest, AFailedOpenDoesNotLeaveTheSearchRunning)
{
    const QString broken = path(QStringLiteral("papers/broken.pdf"));
    ASSERT_TRUE(writeBytes(broken, "%PDF-1.4 garbage"));

    model().setSearchText(QStringLiteral("alpha"));
    pane->loadPDF(QUrl::fromLocalFile(broken));
    ASSERT_TRUE(waitUntil([&] { return !presented->alerts.isEmpty(); }));
    ASSERT_TRUE(searchSettles());
    EXPECT_EQ(model().searchResults().size(), 3u);
}

TEST_F(SearchTest, OpeningAnotherPaperClearsTheSearch)
{
    const QString other = paper(QStringLiteral("other.pdf"), 2);
    model().setSearchText(QStringLiteral("alpha"));
    ASSERT_TRUE(openAndWait(*pane, other));
    spin(300);
    EXPECT_FALSE(pane->searchRunning());
    EXPECT_FALSE(model().showSearch());
    EXPECT_TRUE(model().searchText().isEmpty());
    EXPECT_TRUE(model().searchResults().empty());
}

TEST_F(SearchTest, AResultForAPaneThatIsGoneIsDropped)
{
    blockQueue();
    model().setSearchText(QStringLiteral("alpha"));
    spin(300);
    pane.reset();
    releaseQueue();
    ContentView::readingSearchQueue().waitForDone();
    spin(100); // the delivery finds no pane and does nothing
    SUCCEED();
}

TEST_F(SearchTest, ADocumentWithoutAFileIsSearchedThroughItsBytes)
{
    model().setPdfDocumentURL(QUrl());
    model().setSearchText(QStringLiteral("beta"));
    ASSERT_TRUE(searchSettles());
    EXPECT_EQ(model().searchResults().size(), 3u);
}

} // namespace folvan::window::test
