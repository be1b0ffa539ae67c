#include "support/SharedPDFViewModelTestPeer.h"
#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "model/ReflowTypography.h"
#include "platform/Desktop.h"
#include "platform/Preferences.h"
#include "reflow/ReflowCoordinator.h"
#include "support/PaneAnnotationsOf.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTest>

using namespace folvan;
using folvan::reflow::Json;
using folvan::reflow::ReflowCoordinator;

namespace {

struct Call {
    QString name;
    Json payload;
};

class CoordinatorTest : public test::PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        model = &openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 6));
        make(std::nullopt);
    }

    void make(std::optional<QUuid> paperID)
    {
        ReflowCoordinator::Callbacks callbacks;
        callbacks.createNote = [this](const std::vector<model::ReadingTextSource> &sources) { notes.push_back(sources); };
        callbacks.showOriginal = [this](const model::ReadingLocation &location) { originals.push_back(location); };
        coordinator = std::make_unique<ReflowCoordinator>(model, model->pdfDocument(), paperID, callbacks, nullptr,
                                                          path(QStringLiteral("Reflow")));
        QObject::connect(coordinator.get(), &ReflowCoordinator::pageCall, coordinator.get(),
                         [this](const QString &name, const Json &payload) { calls.push_back({name, payload}); });
    }

    void post(Json body, bool withToken = true)
    {
        if (withToken)
            body["token"] = coordinator->token().toStdString();
        coordinator->receive(body);
    }
    void handshake()
    {
        post({{"event", "loaded"}}, false);
        calls.clear();
    }
    QStringList names() const
    {
        QStringList list;
        for (const Call &call : calls)
            list << call.name;
        return list;
    }
    const Call *last(const QString &name) const
    {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
            if (it->name == name)
                return &*it;
        }
        return nullptr;
    }
    static Json source(int page, const std::string &quote)
    {
        return {{"page", page}, {"start", 0}, {"end", int(quote.size())}, {"quote", quote}, {"before", ""}, {"after", ""}};
    }

    model::SharedPDFViewModel *model = nullptr;
    std::unique_ptr<ReflowCoordinator> coordinator;
    std::vector<Call> calls;
    std::vector<std::vector<model::ReadingTextSource>> notes;
    std::vector<model::ReadingLocation> originals;
};

} // namespace

TEST_F(CoordinatorTest, OpensOnceOnTheFirstLoadedEventAndNotBefore)
{
    make(QUuid::createUuid());
    model->reflowPositionChanged(2, 4, 17, std::nullopt);
    coordinator->update();
    post({{"event", "visiblePages"}, {"pages", {0}}});
    EXPECT_TRUE(calls.empty());

    post({{"event", "loaded"}}, false);
    ASSERT_EQ(names(), (QStringList{"open", "settings", "state"}));
    const Json &open = calls[0].payload;
    EXPECT_EQ(open["token"], coordinator->token().toStdString());
    EXPECT_EQ(open["pageCount"], 6);
    EXPECT_EQ(open["page"], 2);
    EXPECT_EQ(open["block"], 4);
    EXPECT_EQ(open["offset"], 17);
    EXPECT_EQ(open["corrections"], Json::array());
    EXPECT_EQ(open["fontSize"], 20.0);
    EXPECT_EQ(open["query"], "");

    calls.clear();
    post({{"event", "loaded"}}, false);
    coordinator->update();
    EXPECT_TRUE(calls.empty()); // a second handshake is dropped; nothing changed

    // The page process ended: the page loaded again is opened with the same
    // token.
    coordinator->pageRestarting();
    post({{"event", "loaded"}}, false);
    EXPECT_EQ(names(), (QStringList{"open", "settings", "state"}));
    EXPECT_EQ(calls[0].payload["token"], coordinator->token().toStdString());
}

TEST_F(CoordinatorTest, TakesMessagesOnlyWithItsToken)
{
    handshake();
    post({{"event", "visiblePages"}, {"pages", {1}}, {"token", "X"}}, false);
    EXPECT_TRUE(coordinator->visiblePages().empty());
    post({{"event", "visiblePages"}, {"pages", {1}}});
    EXPECT_EQ(coordinator->visiblePages(), (std::set<int>{1}));

    post({{"event", "visiblePages"}, {"pages", {0, 1, 2, 3, 4, 5, 0, 1, 2, 3}}}); // ten: dropped
    EXPECT_EQ(coordinator->visiblePages(), (std::set<int>{1}));
    post({{"event", "visiblePages"}, {"pages", {0, 5, -1, 9999}}});
    EXPECT_EQ(coordinator->visiblePages(), (std::set<int>{0, 5}));
    post({{"event", "page"}, {"page", true}}); // a Boolean is no page
    post({{"event", "page"}, {"page", 3}});
    EXPECT_EQ(model->currentPageIndex(), 3);
}

TEST_F(CoordinatorTest, SelectionsAreTakenWholeOrNotAtAll)
{
    handshake();
    post({{"event", "selection"}, {"sources", {source(0, "alpha beta")}}});
    EXPECT_EQ(model->selectionText(), QStringLiteral("alpha beta"));
    EXPECT_TRUE(coordinator->selectionMapped());

    Json many = Json::array();
    for (int i = 0; i < 65; ++i)
        many.push_back(source(0, "gamma"));
    post({{"event", "selection"}, {"sources", many}});
    post({{"event", "selection"}, {"sources", {source(0, "gamma"), source(6, "delta")}}});
    EXPECT_EQ(model->selectionText(), QStringLiteral("alpha beta"));

    // Text the paper does not hold cannot be mapped: no markup, a word why.
    post({{"event", "studyAction"}, {"action", "highlight"}, {"sources", {source(0, "nowhere to be found")}}});
    EXPECT_FALSE(coordinator->selectionMapped());
    EXPECT_TRUE(test::annotationsOf(*model).annotationItems().empty());
    ASSERT_TRUE(last("feedback"));
    EXPECT_TRUE(last("feedback")->payload["error"].get<bool>());
    EXPECT_FALSE(last("state")->payload["selectionMapped"].get<bool>());

    // A note or copy quotes exactly the passages of its own message.
    post({{"event", "studyAction"}, {"action", "note"}, {"sources", {source(1, "nowhere to be found")}}});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].at(0).quote, QStringLiteral("nowhere to be found"));
    post({{"event", "studyAction"}, {"action", "copy"}, {"sources", {source(0, "zeta"), source(1, "eta")}}});
    EXPECT_EQ(platform::clipboardText(), QStringLiteral("zeta\neta"));
    calls.clear();
    post({{"event", "studyAction"}, {"action", "note"}});
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_TRUE(last("feedback"));

    post({{"event", "studyAction"}, {"action", "underline"}, {"sources", {source(0, "beta gamma")}}});
    EXPECT_EQ(test::annotationsOf(*model).annotationItems().size(), 1u);
    EXPECT_TRUE(last("state")->payload["canUndo"].get<bool>());
    post({{"event", "studyAction"}, {"action", "undo"}});
    EXPECT_TRUE(test::annotationsOf(*model).annotationItems().empty());
    EXPECT_TRUE(last("state")->payload["canRedo"].get<bool>());
}

TEST_F(CoordinatorTest, CorrectionsAreStoredAndAlwaysConfirmed)
{
    handshake();
    post({{"event", "correction"}, {"key", "1:2:abcdef12"}, {"original", "true"}});
    EXPECT_TRUE(calls.empty());
    post({{"event", "correction"}, {"key", "1:2:abcdef12"}, {"original", true}});
    EXPECT_EQ(names(), (QStringList{"feedback", "state"})); // no paper: kept for this run only

    make(QUuid::createUuid());
    handshake();
    post({{"event", "correction"}, {"key", "1:2:abcdef12"}, {"original", true}});
    ASSERT_EQ(names(), QStringList{"state"});
    EXPECT_EQ(calls[0].payload["corrections"], Json::array({"1:2:abcdef12"}));
    calls.clear();
    post({{"event", "correction"}, {"key", "1:2:ABCDEF12"}, {"original", true}});
    EXPECT_EQ(names(), (QStringList{"feedback", "state"}));
}

TEST_F(CoordinatorTest, WithoutAPaperIdentifierCorrectionsAreKeptForTheRunAndThePageIsTold)
{
    const std::string noPaper = "笔记库现在无法读取，这篇论文的局部修正暂时无法读取或保存；所作的标记只保留到退出 Folvan。";
    post({{"event", "loaded"}}, false);
    ASSERT_TRUE(last("feedback"));
    EXPECT_EQ(last("feedback")->payload["message"], noPaper);
    calls.clear();
    post({{"event", "correction"}, {"key", "1:2:abcdef12"}, {"original", true}});
    ASSERT_EQ(names(), (QStringList{"feedback", "state"}));
    EXPECT_EQ(calls[0].payload["message"], noPaper);
    EXPECT_EQ(calls[1].payload["corrections"], Json::array({"1:2:abcdef12"}));

    // The view made again for the paper shows the mark; no file was written.
    make(std::nullopt);
    calls.clear();
    post({{"event", "loaded"}}, false);
    ASSERT_EQ(calls[0].name, "open");
    EXPECT_EQ(calls[0].payload["corrections"], Json::array({"1:2:abcdef12"}));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Reflow"))));
}

TEST_F(CoordinatorTest, PositionsAndReturnsToTheOriginal)
{
    handshake();
    post({{"event", "position"}, {"page", 1}, {"block", 20000}, {"offset", -5}, {"point", {{"x", 0}, {"y", 0}}}});
    EXPECT_EQ(model->currentPageIndex(), 1);
    EXPECT_EQ(model->reflowBlock(), 10000);
    EXPECT_EQ(model->reflowOffset(), 0);
    EXPECT_EQ(model->reflowPage(), 1);
    ASSERT_TRUE(model->retainedDestination());
    EXPECT_EQ(model->retainedDestination()->point(), QPointF(0, 792)); // top left of the page
    post({{"event", "position"}, {"page", 2}});
    EXPECT_EQ(model->retainedDestination()->pageIndex, 1);

    post({{"event", "original"}, {"page", 4}, {"point", {{"x", 1.5}, {"y", 0.5}}}});
    post({{"event", "original"}, {"page", 4}, {"point", {{"x", 1.0}, {"y", 1.0}}}});
    ASSERT_EQ(originals.size(), 2u);
    EXPECT_EQ(originals[0].page, 4);
    EXPECT_FALSE(originals[0].point);
    EXPECT_EQ(originals[1].point, QPointF(612, 0));
}

TEST_F(CoordinatorTest, TypographyIsClampedKeptAndResent)
{
    handshake();
    post({{"event", "typography"}, {"fontSize", 100}, {"face", "sans"}});
    ASSERT_TRUE(model->reflowAppearance());
    EXPECT_EQ(model->reflowAppearance()->value(QStringLiteral("fontSize")).toDouble(), 32);
    EXPECT_EQ(platform::Preferences::shared().value(QStringLiteral("folvan.reflowFace")).toString(), QStringLiteral("sans"));
    ASSERT_TRUE(test::waitFor([&] { return last("settings") != nullptr; }));
    EXPECT_EQ(last("settings")->payload["fontSize"], 32.0);

    calls.clear();
    coordinator->update();
    EXPECT_TRUE(calls.empty()); // unchanged settings are not sent again
    model::SharedPDFViewModelTestPeer(&*model).setShowSearch(true);
    model->searchTextEntered(QStringLiteral("beta"));
    coordinator->update();
    EXPECT_EQ(last("settings")->payload["query"], "beta");
    model::SharedPDFViewModelTestPeer(&*model).setShowSearch(false);
    coordinator->update();
    EXPECT_EQ(last("settings")->payload["query"], "");
}

// The page sends all seven values with each change: only the changed one
// is stored, and a stored text the reader does not know stays.
TEST_F(CoordinatorTest, TypographyStoresOnlyTheValueThePageChanged)
{
    platform::Preferences &store = platform::Preferences::shared();
    store.setValue(QStringLiteral("folvan.reflowFace"), QStringLiteral("bogus"));
    store.setValue(QStringLiteral("folvan.reflowAlignment"), QStringLiteral("bogus"));
    handshake();
    Json page = coordinator->settings(); // what the page shows, the size changed
    page.erase("query");
    page["event"] = "typography";
    page["fontSize"] = 21;
    post(page);
    EXPECT_EQ(store.value(QStringLiteral("folvan.reflowFontSize")).toDouble(), 21);
    EXPECT_EQ(store.value(QStringLiteral("folvan.reflowFace")).toString(), QStringLiteral("bogus"));
    EXPECT_EQ(store.value(QStringLiteral("folvan.reflowAlignment")).toString(), QStringLiteral("bogus"));
    EXPECT_FALSE(store.contains(QStringLiteral("folvan.reflowLeading")));
}

TEST_F(CoordinatorTest, JumpsCountEarlierMatchesAndAreClearedOnceDelivered)
{
    handshake();
    const auto document = model->pdfDocument();
    std::vector<engine::PdfSelection> results;
    for (int page : {2, 0, 2, 2})
        results.push_back(document->page(page).selection(engine::PdfTextRange{0, 5}));
    {
        QSignalBlocker quiet(model); // only the updates this test runs
        model::SharedPDFViewModelTestPeer(&*model).setSearchResults(results);
        model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(3);
        model->navigate(model::ReadingLocation{2, std::nullopt, QPointF(306, 396)}, false);
    }
    coordinator->update();
    const Call *navigate = last("navigate");
    ASSERT_TRUE(navigate);
    EXPECT_EQ(navigate->payload["page"], 2);
    EXPECT_EQ(navigate->payload["ordinal"], 2);
    EXPECT_DOUBLE_EQ(navigate->payload["x"].get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(navigate->payload["y"].get<double>(), 0.5);

    {
        QSignalBlocker quiet(model);
        model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(4); // replaced before the clearing runs: kept
    }
    test::waitForIdle();
    EXPECT_EQ(model->jumpToPage(), 4);
    coordinator->update();
    EXPECT_EQ(last("navigate")->payload["page"], 4);
    ASSERT_TRUE(test::waitFor([&] { return !model->jumpToPage(); }));
    EXPECT_FALSE(model->pendingDestination());
}

TEST_F(CoordinatorTest, AJumpToAPassageIsCarriedOutThroughTheModelAndMarksThePassage)
{
    ASSERT_TRUE(annotations::PaneAnnotations::of(*model)); // the pane's annotations find passages
    const auto jumpToPassage = [&](int page) {
        model::ReadingLocation target;
        target.page = page;
        target.source = model::ReadingTextSource{page, {}, {}, 0, 0, QStringLiteral("zeta eta"), {}, {}, {}, {}};
        model->navigate(target, true);
    };

    // Asked before the page opened: the open carries it.
    jumpToPassage(3);
    handshake();
    EXPECT_FALSE(model->jumpToPage());
    EXPECT_FALSE(model->pendingTextSource());
    ASSERT_TRUE(model->markedPassage());
    EXPECT_EQ(model->markedPassage()->pages().front().index(), 3);

    // Asked while the page is open: sent with the passage, then carried out.
    jumpToPassage(1);
    coordinator->update();
    ASSERT_TRUE(last("navigate"));
    EXPECT_EQ(last("navigate")->payload["source"]["quote"], "zeta eta");
    ASSERT_TRUE(test::waitFor([&] { return !model->jumpToPage(); }));
    EXPECT_FALSE(model->pendingTextSource());
    ASSERT_TRUE(model->markedPassage());
    EXPECT_EQ(model->markedPassage()->pages().front().index(), 1);
}

TEST_F(CoordinatorTest, SearchResultsInsideThePagesImagesAreToldToThePaneAndPassedOver)
{
    handshake();
    const auto document = model->pdfDocument();
    // "alpha" (first line) and "zeta" (second line) on pages 0 and 2.
    std::vector<engine::PdfSelection> results;
    for (int page : {0, 2})
        for (engine::PdfTextRange range : {engine::PdfTextRange{0, 5}, engine::PdfTextRange{31, 4}})
            results.push_back(document->page(page).selection(range));
    model::SharedPDFViewModelTestPeer(&*model).setShowSearch(true);
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults(results);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(0);
    const auto around = [&](int index) {
        const engine::PdfPage page = results[size_t(index)].pages().front();
        const QPointF middle = *coordinator->viewportPoint(results[size_t(index)].bounds(page).center(), page.index());
        return Json::array({middle.x() - 0.01, middle.y() - 0.005, 0.02, 0.01});
    };

    // Page 2 shows its first line as an image: the third result is in it.
    post({{"event", "cutouts"}, {"page", 2}, {"regions", {around(2), {0.9, 0.9, 0.05, 0.05}}}});
    EXPECT_EQ(model->searchResultsInImages(), QList<int>{2});
    EXPECT_EQ(model->searchStepTarget(true), 1);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(1);
    EXPECT_EQ(model->searchStepTarget(true), 3);
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(3);
    EXPECT_EQ(model->searchStepTarget(false), 1);

    // Page 0 as well, where the current result is: the next one shown as
    // text becomes current and is gone to.
    model::SharedPDFViewModelTestPeer(&*model).setCurrentSearchIndex(0);
    model::SharedPDFViewModelTestPeer(&*model).setJumpToPage(std::nullopt);
    post({{"event", "cutouts"}, {"page", 0}, {"regions", {around(0)}}});
    EXPECT_EQ(model->searchResultsInImages(), (QList<int>{0, 2}));
    EXPECT_EQ(model->currentSearchIndex(), 1);
    EXPECT_EQ(model->jumpToPage(), 0);

    // Malformed regions change nothing; a page with none clears its own.
    post({{"event", "cutouts"}, {"page", 0}, {"regions", {{0.1, 0.1, 0.2}}}});
    post({{"event", "cutouts"}, {"page", 0}, {"regions", {{0.1, 0.1, 0.2, "x"}}}});
    post({{"event", "cutouts"}, {"page", 9}, {"regions", Json::array()}});
    EXPECT_EQ(model->searchResultsInImages(), (QList<int>{0, 2}));
    post({{"event", "cutouts"}, {"page", 0}, {"regions", Json::array()}});
    EXPECT_EQ(model->searchResultsInImages(), QList<int>{2});

    // New results are counted afresh once the page is brought up to date;
    // a view that goes away leaves every result counted as text.
    model::SharedPDFViewModelTestPeer(&*model).setSearchResults({results[2], results[3]});
    EXPECT_TRUE(model->searchResultsInImages().isEmpty());
    coordinator->update();
    EXPECT_EQ(model->searchResultsInImages(), QList<int>{0});
    coordinator->dispose();
    EXPECT_TRUE(model->searchResultsInImages().isEmpty());
}

TEST_F(CoordinatorTest, PointsFollowTheDisplayedPage)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 800), QRectF(100, 100, 400, 600), 90);
    ASSERT_TRUE(writer.save(path(QStringLiteral("turned.pdf"))));
    model = &openPane(path(QStringLiteral("turned.pdf")));
    make(std::nullopt);
    // Turned a quarter clockwise: the crop box's top left is shown top right.
    EXPECT_EQ(coordinator->viewportPoint(QPointF(100, 700), 0), QPointF(1, 0));
    EXPECT_EQ(coordinator->viewportPoint(QPointF(500, 100), 0), QPointF(0, 1));
    EXPECT_FALSE(coordinator->viewportPoint(QPointF(qInf(), 0), 0));
    const auto back = coordinator->sourcePoint({{"point", {{"x", 1.0}, {"y", 0.0}}}}, 0);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->x(), 100, 1e-9);
    EXPECT_NEAR(back->y(), 700, 1e-9);
    EXPECT_FALSE(coordinator->sourcePoint({{"point", {{"x", 1.0000001}, {"y", 0.0}}}}, 0));
    EXPECT_FALSE(coordinator->sourcePoint({{"point", {{"x", 0.5}}}}, 0));
}

TEST(ReflowJson, SortsKeysEscapesSeparatorsAndRefusesNonFiniteNumbers)
{
    EXPECT_EQ(ReflowCoordinator::json({{"b", 1}, {"a", "x\u2028y"}}), QStringLiteral(R"({"a":"x\u2028y","b":1})"));
    EXPECT_EQ(ReflowCoordinator::json({{"a", {1.0, std::nan("")}}}), QStringLiteral("{}"));
}
