#include "book/PaperBookView.h"

#include "BookTestSupport.h"
#include "book/DroppableBookWebView.h"
#include "book/BookWebPage.h"
#include "book/PaperReadingView.h"
#include "localweb/FileUrlProbe.h"
#include "localweb/LocalWebPage.h"
#include "platform/Preferences.h"

#include <QPushButton>

#include <QWebEnginePage>

using namespace folvan;
using namespace folvan::book;

namespace {

class BookPageTest : public test::BookPaneTest {};

// As the program does, before the application object exists.
const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-book"));
    return true;
}();

} // namespace

// The real page: it announces itself, takes the open call, draws the first
// spread from the handler's rasters and reports it ready.
TEST_F(BookPageTest, OpensThePaperAndReportsItReady)
{
    model->setCurrentPageIndex(3);
    PaperBookView view(model.get());
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->isReady(); }, 60));
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }, 60));
    EXPECT_FALSE(model->bookError());
    // Page 3 is shown with page 4; the book can turn both ways.
    EXPECT_EQ(model->currentPageIndex(), 3);
    EXPECT_TRUE(model->bookCanForward());
    EXPECT_TRUE(model->bookCanBackward());

    model->setBookTurnRequest(BookTurnRequest::make(true));
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5; }, 30));
}

// A turn's target is the reading position from the moment it is asked for:
// a quit during the animation keeps the page turned to.
TEST_F(BookPageTest, ATurnInProgressAlreadyReadsAtItsTarget)
{
    model->setCurrentPageIndex(3);
    PaperBookView view(model.get());
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }, 60));
    // A turn that does not end while the test runs.
    view.page()->runJavaScript(QStringLiteral("window.folvan.settings({turnDuration: 100000}); null;"));
    model->setBookTurnRequest(BookTurnRequest::make(true));
    ASSERT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5; }, 30));
    const QString key = QStringLiteral("lastPage_") + model->pdfDocumentURL().path();
    EXPECT_EQ(platform::Preferences::shared().intValue(key, 0), 5);
}

// The page reads no local file, whatever a script in it asks.
TEST_F(BookPageTest, ThePageReadsNoLocalFile)
{
    PaperBookView view(model.get());
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->isReady(); }, 60));
    EXPECT_EQ(test::readFromPageThroughFileUrls(view.page(), root()), QString());
}

// The card over a failed book offers scroll reading.
TEST_F(BookPageTest, TheErrorCardOffersScrollReading)
{
    PaperReadingView view(model.get());
    std::optional<bool> chosen;
    view.setOnModeChange([&](bool book) { chosen = book; });
    view.resize(800, 600);
    view.show();
    EXPECT_FALSE(view.errorCard()->isVisible());
    model->setBookError(QStringLiteral("书页渲染失败。"));
    ASSERT_TRUE(view.errorCard()->isVisible());
    EXPECT_LE(view.errorCard()->width(), 360);
    QPushButton *button = nullptr;
    for (QPushButton *candidate : view.errorCard()->findChildren<QPushButton *>())
        if (candidate->text() == QStringLiteral("切换到滚动阅读"))
            button = candidate;
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(chosen, false);
    model->setBookError(std::nullopt);
    EXPECT_FALSE(view.errorCard()->isVisible());
}
