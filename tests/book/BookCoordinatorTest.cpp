#include "support/SharedPDFViewModelTestPeer.h"
#include "book/BookCoordinator.h"

#include "BookTestSupport.h"
#include "book/BookResourceHandler.h"
#include "localweb/LocalWebView.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "support/PaneAnnotationsOf.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

using namespace folvan;
using namespace folvan::book;
using folvan::test::waitForIdle;

namespace {

// A page's message as the coordinator gets it: the JSON text the page posts.
localweb::BridgeJson message(const QJsonObject &body)
{
    return localweb::parseMessage(QJsonDocument(body).toJson(QJsonDocument::Compact));
}

class FakeHost : public BookPageHost {
public:
    // The scripts of the coordinator's calls, as the web view runs them.
    QStringList scripts;
    int dismissals = 0;
    int previews = 0;

    QSizeF viewSize() const override { return QSizeF(800, 600); }
    void dismissPreview() override { ++dismissals; }
    void previewLink(int, QPointF, QPointF) override { ++previews; }
    void offerPrimarySelection(const QString &text) override { primary.append(text); }
    QStringList primary;

    // The calls of `function` sent so far.
    QStringList calls(const QString &function) const
    {
        return scripts.filter(QStringLiteral("window.folvan?.") + function + QLatin1Char('('));
    }
};

class BookCoordinatorTest : public test::BookPaneTest {
protected:
    void SetUp() override
    {
        BookPaneTest::SetUp();
        coordinator = std::make_unique<BookCoordinator>(model.get(), &handler);
        coordinator->setHost(&host);
        QObject::connect(coordinator.get(), &BookCoordinator::pageCall, coordinator.get(),
                         [this](const QString &function, const localweb::BridgeJson &payload) {
                             host.scripts.append(localweb::LocalWebView::script(QStringLiteral("folvan"), function, payload));
                         });
    }
    void TearDown() override
    {
        coordinator.reset();
        BookPaneTest::TearDown();
    }

    void post(QJsonObject body, bool withToken = true)
    {
        if (withToken)
            body.insert(QStringLiteral("token"), coordinator->token());
        coordinator->receive(message(body));
    }
    // A loaded book: the document handed over, the page ready, its deferred
    // steps run.
    void openBook()
    {
        coordinator->setDocument(document);
        post({{QStringLiteral("event"), QStringLiteral("ready")}}, false);
        waitForIdle();
    }

    BookResourceHandler handler{QStringLiteral(":/book")};
    FakeHost host;
    std::unique_ptr<BookCoordinator> coordinator;
};

} // namespace

TEST(BookScript, ClampsThePageTurningPreferences)
{
    BookViewParameters p;
    p.turnDuration = 0.5;
    p.wheelSensitivity = std::numeric_limits<double>::infinity();
    localweb::BridgeJson s = BookCoordinator::interactionSettings(p);
    EXPECT_EQ(s["turnDuration"], 0.8);
    EXPECT_EQ(s["wheelMode"], "turn");
    EXPECT_EQ(s["wheelSensitivity"], 1.0);
    p.turnDuration = std::nan("");
    p.wheelMode = platform::WheelMode::Pan;
    p.wheelSensitivity = 3.0;
    s = BookCoordinator::interactionSettings(p);
    EXPECT_EQ(s["turnDuration"], 2.1);
    EXPECT_EQ(s["wheelMode"], "pan");
    EXPECT_EQ(s["wheelSensitivity"], 2.0);
    p.wheelSensitivity = 0.1;
    EXPECT_EQ(BookCoordinator::interactionSettings(p)["wheelSensitivity"], 0.5);
}

TEST_F(BookCoordinatorTest, SendsWhatThePageLacksOnce)
{
    coordinator->setDocument(document);
    coordinator->update();
    EXPECT_TRUE(host.scripts.isEmpty()) << "nothing before the page is ready";
    post({{QStringLiteral("event"), QStringLiteral("ready")}}, false);
    waitForIdle();
    ASSERT_EQ(host.calls(QStringLiteral("open")).size(), 1);
    const QString open = host.calls(QStringLiteral("open")).first();
    EXPECT_TRUE(open.contains(QStringLiteral("\"token\":\"") + coordinator->token() + QLatin1Char('"')));
    EXPECT_TRUE(open.contains(QStringLiteral("\"count\":10")));
    EXPECT_EQ(host.calls(QStringLiteral("settings")).size(), 1);
    EXPECT_EQ(host.calls(QStringLiteral("reading")).size(), 1);
    coordinator->update();
    coordinator->update();
    EXPECT_EQ(host.scripts.size(), 3);

    // A jump goes on every update until its deferred step clears it; a
    // turn once per request, and two requests turn twice.
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(6);
    coordinator->update();
    coordinator->update();
    EXPECT_EQ(host.calls(QStringLiteral("jump")).size(), 2);
    waitForIdle();
    EXPECT_FALSE(model->jumpToPage());
    coordinator->update();
    EXPECT_EQ(host.calls(QStringLiteral("jump")).size(), 2);
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(false));
    coordinator->update();
    coordinator->update();
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(false));
    coordinator->update();
    EXPECT_EQ(host.calls(QStringLiteral("turn")), QStringList(2, QStringLiteral("window.folvan?.turn({\"forward\":false}); null;")));
    waitForIdle();
    EXPECT_FALSE(model->bookTurnRequest());

    // Changed settings go once; an annotation change is a new load.
    BookViewParameters changed;
    changed.warmth = 0.5;
    coordinator->setParameters(changed);
    coordinator->update();
    coordinator->update();
    EXPECT_EQ(host.calls(QStringLiteral("settings")).size(), 2);
    const QString oldToken = coordinator->token();
    test::annotationsOf(*model).setAnnotationRevision(test::annotationsOf(*model).annotationRevision() + 1);
    coordinator->update();
    EXPECT_NE(coordinator->token(), oldToken);
    EXPECT_EQ(host.calls(QStringLiteral("open")).size(), 2);
    EXPECT_EQ(host.calls(QStringLiteral("settings")).size(), 3);
    EXPECT_EQ(host.calls(QStringLiteral("reading")).size(), 2);
}

TEST_F(BookCoordinatorTest, StartsAtTheStoredPageOfAnotherDocument)
{
    platform::Preferences::shared().setValue(QStringLiteral("lastPage_") + QUrl::fromLocalFile(pdf).path(), 42);
    model::SharedPDFViewModelTestPeer(&*model).setPageCount(3);
    coordinator->setDocument(document);
    waitForIdle();
    EXPECT_EQ(model->pageCount(), 10);
    EXPECT_EQ(model->currentPageIndex(), 9);
}

TEST_F(BookCoordinatorTest, TakesOnlyEventsOfTheCurrentLoad)
{
    openBook();
    const QJsonObject state{{QStringLiteral("event"), QStringLiteral("state")}, {QStringLiteral("page"), 4},
                            {QStringLiteral("canForward"), true}, {QStringLiteral("canBackward"), true}};
    post(state, false);
    QJsonObject stale = state;
    stale.insert(QStringLiteral("token"), QStringLiteral("earlier"));
    coordinator->receive(message(stale));
    for (int page : {10, -1}) {
        QJsonObject outside = state;
        outside.insert(QStringLiteral("page"), page);
        post(outside);
    }
    QJsonObject fractional = state;
    fractional.insert(QStringLiteral("page"), 4.5);
    post(fractional);
    EXPECT_EQ(model->currentPageIndex(), 0);
    EXPECT_FALSE(model->bookCanForward());

    post(state);
    EXPECT_EQ(model->currentPageIndex(), 4);
    EXPECT_TRUE(model->bookCanForward());
    EXPECT_TRUE(model->bookCanBackward());
    EXPECT_EQ(platform::Preferences::shared().intValue(QStringLiteral("lastPage_") + QUrl::fromLocalFile(pdf).path()), 4);
    post({{QStringLiteral("event"), QStringLiteral("state")}, {QStringLiteral("page"), 0}});
    EXPECT_FALSE(model->bookCanForward());
    EXPECT_FALSE(model->bookCanBackward());

    post({{QStringLiteral("event"), QStringLiteral("failure")}});
    EXPECT_EQ(model->bookError(), QStringLiteral("书页渲染失败。"));
    post({{QStringLiteral("event"), QStringLiteral("failure")}, {QStringLiteral("message"), QStringLiteral("坏了")}});
    EXPECT_EQ(model->bookError(), QStringLiteral("坏了"));
    // A page's text is cut before any widget lays it out.
    const QString huge = QStringLiteral("失败").repeated(5'000'000);
    post({{QStringLiteral("event"), QStringLiteral("failure")}, {QStringLiteral("message"), huge}});
    ASSERT_TRUE(model->bookError());
    EXPECT_EQ(model->bookError()->size(), localweb::maximumShownText);
    EXPECT_TRUE(model->bookError()->startsWith(QStringLiteral("失败失败")));
    EXPECT_TRUE(model->bookError()->endsWith(QChar(0x2026)));
}

TEST_F(BookCoordinatorTest, SelectsOnlyWithAKnownPhase)
{
    openBook();
    QJsonObject select{{QStringLiteral("event"), QStringLiteral("select")}, {QStringLiteral("page"), 0},
                       {QStringLiteral("u"), 0.2},  {QStringLiteral("v"), 703.0 / 792},
                       {QStringLiteral("phase"), QStringLiteral("cancel")}, {QStringLiteral("gesture"), QStringLiteral("g1")}};
    post(select);
    EXPECT_FALSE(model->bookTextMode());
    select.insert(QStringLiteral("phase"), QStringLiteral("word"));
    post(select);
    EXPECT_TRUE(model->bookTextMode());
    EXPECT_FALSE(model->selectionText().isEmpty());
    // The word picked, and then a drag once it ends, are offered for the
    // middle-click paste; a drag still moving is not.
    EXPECT_EQ(host.primary, QStringList{model->selectionText()});
    select.insert(QStringLiteral("gesture"), QStringLiteral("g2"));
    for (const char *phase : {"start", "move"}) {
        select.insert(QStringLiteral("phase"), QLatin1String(phase));
        select.insert(QStringLiteral("u"), phase == std::string("start") ? 0.1 : 0.5);
        post(select);
    }
    EXPECT_EQ(host.primary.size(), 1);
    select.insert(QStringLiteral("phase"), QStringLiteral("end"));
    post(select);
    ASSERT_EQ(host.primary.size(), 2);
    EXPECT_EQ(host.primary.last(), model->selectionText());
    EXPECT_GT(host.primary.last().size(), host.primary.first().size());
    post({{QStringLiteral("event"), QStringLiteral("clearSelection")}});
    EXPECT_TRUE(model->selectionText().isEmpty());
    // A link far off the sheet reaches the model, which finds none there.
    post({{QStringLiteral("event"), QStringLiteral("link")}, {QStringLiteral("page"), 1}, {QStringLiteral("u"), 2.5},
          {QStringLiteral("v"), 0.5}});
    EXPECT_FALSE(model->jumpToPage());
    // A hover outside the view previews nothing; a hover end closes.
    const int dismissals = host.dismissals;
    post({{QStringLiteral("event"), QStringLiteral("hover")}, {QStringLiteral("page"), 0}, {QStringLiteral("u"), 0.5},
          {QStringLiteral("v"), 0.5}, {QStringLiteral("x"), 900.0}, {QStringLiteral("y"), 10.0}});
    EXPECT_EQ(host.previews, 0);
    post({{QStringLiteral("event"), QStringLiteral("hover")}, {QStringLiteral("page"), 0}, {QStringLiteral("u"), 0.5},
          {QStringLiteral("v"), 0.5}, {QStringLiteral("x"), 90.0}, {QStringLiteral("y"), 10.0}});
    EXPECT_EQ(host.previews, 1);
    EXPECT_EQ(host.dismissals, dismissals);
    post({{QStringLiteral("event"), QStringLiteral("hoverEnd")}});
    EXPECT_EQ(host.dismissals, dismissals + 1);
}

// A jump to a note's passage reaches the page as a jump and then, once it
// was carried out, as a mark among the overlay rows (in the passage's green),
// until a click on the page clears the selection.
TEST_F(BookCoordinatorTest, APassageJumpedToIsDrawnAmongTheOverlaysUntilAClick)
{
    openBook();
    test::annotationsOf(*model).annotationState(); // the pane's annotations, with the passage finder
    const auto lastReading = [&] { return host.calls(QStringLiteral("reading")).last(); };
    const QString passageColour = QStringLiteral("0.2,0.78,0.35,0.3]");
    model::ReadingTextSource source{6, {}, {}, 0, 0, QStringLiteral("Page 7 of the book"), {}, {}, {}, {}};
    model->navigate(test::annotationsOf(*model).location(source), true);
    coordinator->update();
    ASSERT_EQ(host.calls(QStringLiteral("jump")).size(), 1);
    EXPECT_TRUE(host.calls(QStringLiteral("jump")).first().contains(QStringLiteral("\"page\":6")));
    waitForIdle();
    EXPECT_FALSE(model->jumpToPage());
    ASSERT_TRUE(model->markedPassage());
    EXPECT_EQ(model->markedPassage()->string(), source.quote);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(6); // where the page reports it turned to
    coordinator->update();
    EXPECT_TRUE(lastReading().contains(QStringLiteral("[6,")) && lastReading().contains(passageColour)) << lastReading().toStdString();

    post({{QStringLiteral("event"), QStringLiteral("clearSelection")}});
    EXPECT_FALSE(model->markedPassage());
    coordinator->update();
    EXPECT_FALSE(lastReading().contains(passageColour));
}

TEST_F(BookCoordinatorTest, APageRestartedGetsThePaperAgainAndOneThatEndedSaysSo)
{
    openBook();
    const QString before = coordinator->token();
    coordinator->pageRestarting();
    EXPECT_FALSE(coordinator->isReady());
    EXPECT_NE(coordinator->token(), before);
    post({{QStringLiteral("event"), QStringLiteral("ready")}}, false);
    EXPECT_EQ(host.calls(QStringLiteral("open")).size(), 2);
    EXPECT_FALSE(model->bookError());
    coordinator->pageEnded();
    EXPECT_EQ(model->bookError(), QStringLiteral("书页渲染器已停止，请切到滚动阅读后重新打开翻书。"));
}

// A page loaded anew without a crash (a reload) announces itself again and
// gets the paper again under a new load, at the page the reader is on.
TEST_F(BookCoordinatorTest, APageLoadedAnewGetsThePaperAgain)
{
    openBook();
    post({{QStringLiteral("event"), QStringLiteral("state")}, {QStringLiteral("page"), 4},
          {QStringLiteral("ready"), true}});
    ASSERT_TRUE(coordinator->paperReady());
    const QString before = coordinator->token();
    post({{QStringLiteral("event"), QStringLiteral("ready")}}, false);
    waitForIdle();
    const QStringList opens = host.calls(QStringLiteral("open"));
    ASSERT_EQ(opens.size(), 2);
    EXPECT_NE(coordinator->token(), before);
    EXPECT_TRUE(opens.last().contains(QStringLiteral("\"token\":\"") + coordinator->token() + QLatin1Char('"')));
    EXPECT_TRUE(opens.last().contains(QStringLiteral("\"page\":4")));
    EXPECT_EQ(host.calls(QStringLiteral("settings")).size(), 2);
    EXPECT_EQ(host.calls(QStringLiteral("reading")).size(), 2);
    EXPECT_FALSE(coordinator->paperReady());
}

TEST_F(BookCoordinatorTest, ReportsAPageThatNeverDraws)
{
    coordinator->setStartupDelay(0);
    openBook();
    EXPECT_TRUE(test::waitFor([&] { return model->bookError().has_value(); }));
    EXPECT_EQ(model->bookError(), QStringLiteral("本地书页渲染器未能启动。"));

    // A state that is not ready keeps the timeout; a ready one ends it.
    platform::ManualClock clock;
    model::SharedPDFViewModelTestPeer(&*model).setBookError(std::nullopt);
    coordinator->setStartupDelay(0.05);
    coordinator->setDocument(document);
    // Only a ready state of the current load says that the paper is drawn.
    int drawn = 0;
    QObject::connect(coordinator.get(), &BookCoordinator::paperDrawn, coordinator.get(), [&] { ++drawn; });
    const QJsonObject ready{{QStringLiteral("event"), QStringLiteral("state")}, {QStringLiteral("page"), 0},
                            {QStringLiteral("ready"), true}};
    QJsonObject stale = ready;
    stale.insert(QStringLiteral("token"), QStringLiteral("earlier"));
    coordinator->receive(message(stale));
    post({{QStringLiteral("event"), QStringLiteral("state")}, {QStringLiteral("page"), 0}});
    EXPECT_EQ(drawn, 0);
    EXPECT_FALSE(coordinator->paperReady());
    post(ready);
    EXPECT_EQ(drawn, 1);
    waitForIdle();
    EXPECT_TRUE(coordinator->paperReady());
    clock.advance(1);
    EXPECT_FALSE(model->bookError());
}

TEST_F(BookCoordinatorTest, DoesNothingOnceDisposed)
{
    coordinator->setStartupDelay(0);
    coordinator->setDocument(document);
    coordinator->dispose();
    post({{QStringLiteral("event"), QStringLiteral("ready")}}, false);
    coordinator->pageRestarting();
    coordinator->pageEnded();
    coordinator->pageLoadFailed(QStringLiteral("aborted"));
    waitForIdle();
    EXPECT_FALSE(coordinator->isReady());
    EXPECT_TRUE(host.scripts.isEmpty());
    EXPECT_FALSE(model->bookError());
}
