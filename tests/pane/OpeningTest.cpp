// Opening papers in a pane: the generation token, the stored reading state,
// the side files, the known-paper fit, and when the state is written back.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "annotations/ReadingMarkup.h"

#include "engine/PdfDocument.h"
#include "history/RecentReading.h"
#include "platform/Paths.h"

#include <cmath>

namespace folvan::pane::test {

namespace {

using OpeningTest = ControllerTest;

// Writes a history file holding one record of `path` with `state`, before
// the shared history first reads it.
void writeHistory(const QString &path, const history::DocumentReadingState &state)
{
    history::RecentReading record;
    record.id = QUuid::createUuid();
    record.path = path;
    record.state = state;
    QByteArray data;
    QString error;
    ASSERT_TRUE(history::encodeReadingHistory({record}, &data, &error)) << error.toStdString();
    ASSERT_TRUE(writeBytes(platform::folvanDataPath(QStringLiteral("reading-history.json")), data));
}

} // namespace

TEST_F(OpeningTest, OnlyTheLatestOfTwoQuickOpensIsApplied)
{
    const QString a = paper(QStringLiteral("a.pdf"), 2);
    const QString b = paper(QStringLiteral("b.pdf"), 3);
    auto pane = makePane();
    pane->loadPDF(QUrl::fromLocalFile(a));
    pane->loadPDF(QUrl::fromLocalFile(b));
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    waitForIdle();

    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(b));
    EXPECT_EQ(pane->viewModel()->pageCount(), 3);
    EXPECT_EQ(pane->fileName(), QStringLiteral("b.pdf"));
    EXPECT_TRUE(presented->alerts.isEmpty());
    ASSERT_EQ(history().records().size(), 1);
    EXPECT_EQ(history().records().front().path, b);
}

TEST_F(OpeningTest, StoredStateIsNormalizedAndApplied)
{
    const QString file = paper(QStringLiteral("state.pdf"), 5);
    history::DocumentReadingState stored;
    stored.page = 9;
    stored.zoom = 9;
    stored.angle = 100;
    stored.isBook = false;
    stored.isReflow = true;
    stored.reflowBlock = 20000;
    stored.reflowOffset = -5;
    writeHistory(file, stored);

    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    const model::SharedPDFViewModel &model = *pane->viewModel();
    EXPECT_EQ(model.currentPageIndex(), 4);
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 4.0);
    EXPECT_DOUBLE_EQ(pane->rotationAngle(), 70.0);
    EXPECT_FALSE(pane->flipBookMode());
    EXPECT_EQ(pane->pageLayout(), platform::BookLayout::Spread);
    EXPECT_TRUE(pane->reflowMode());
    EXPECT_EQ(model.reflowBlock(), 10000);
    EXPECT_EQ(model.reflowOffset(), 0);
    EXPECT_EQ(model.reflowPage(), 4);

    const history::DocumentReadingState recorded = history().records().front().state;
    EXPECT_EQ(recorded.page, 4);
    EXPECT_DOUBLE_EQ(recorded.zoom, 4.0);
    EXPECT_EQ(recorded.layout, platform::BookLayout::Spread);
}

TEST_F(OpeningTest, NonFiniteZoomOpensAtOne)
{
    history::DocumentReadingState state;
    state.zoom = std::nan("");
    state.angle = -std::numeric_limits<double>::infinity();
    const history::DocumentReadingState normalized = state.normalized(3);
    EXPECT_DOUBLE_EQ(normalized.zoom, 1.0);
    EXPECT_DOUBLE_EQ(normalized.angle, 0.0);
}

TEST_F(OpeningTest, RequestedPageIsClampedAndStartsTheReflowAtItsTop)
{
    const QString file = paper(QStringLiteral("reflow.pdf"), 5);
    history::DocumentReadingState stored;
    stored.page = 2;
    stored.isReflow = true;
    stored.reflowBlock = 12;
    stored.reflowOffset = 400;
    writeHistory(file, stored);

    auto pane = makePane();
    pane->loadPDF(QUrl::fromLocalFile(file), 99);
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    EXPECT_EQ(pane->viewModel()->currentPageIndex(), 4);
    EXPECT_TRUE(pane->reflowMode());
    EXPECT_EQ(pane->viewModel()->reflowBlock(), 0);
    EXPECT_EQ(pane->viewModel()->reflowOffset(), 0);
    EXPECT_EQ(pane->viewModel()->reflowPage(), -1);

    pane->loadPDF(QUrl::fromLocalFile(file), -3);
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->currentPageIndex() == 0; }));
}

TEST_F(OpeningTest, SideFilesOfTheNewPaperLoadWhileTheModelNamesNoFile)
{
    const QString a = paper(QStringLiteral("a.pdf"), 2);
    const QString b = paper(QStringLiteral("b.pdf"), 2);
    auto pane = makePane();
    model::SharedPDFViewModel &model = *pane->viewModel();
    ASSERT_TRUE(openAndWait(*pane, b));
    model.toggleBookmark();
    ASSERT_EQ(model.bookmarks().size(), 1u);
    ASSERT_TRUE(openAndWait(*pane, a));
    ASSERT_TRUE(model.bookmarks().empty());

    QList<QUrl> seen;
    const auto record = [&] { seen << model.pdfDocumentURL(); };
    QObject::connect(&model, &model::SharedPDFViewModel::bookmarksChanged, pane.get(), record);
    QObject::connect(pane->annotations(), &annotations::PaneAnnotations::markupsChanged, pane.get(), record);
    ASSERT_TRUE(openAndWait(*pane, b));

    ASSERT_FALSE(seen.isEmpty());
    for (const QUrl &url : seen)
        EXPECT_TRUE(url.isEmpty()) << url.toString().toStdString();
    EXPECT_EQ(model.bookmarks().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(model.bookmarkURL(QUrl::fromLocalFile(a))));
}

TEST_F(OpeningTest, AnOpenAnnouncesTheNewDocumentAndTheRebuildOnce)
{
    const QString a = paper(QStringLiteral("a.pdf"), 2);
    const QString b = paper(QStringLiteral("b.pdf"), 3);
    auto pane = makePane();
    model::SharedPDFViewModel &model = *pane->viewModel();
    ASSERT_TRUE(openAndWait(*pane, a));
    waitForIdle();

    int documents = 0;
    int rebuilds = 0;
    QObject::connect(&model, &model::SharedPDFViewModel::pdfDocumentChanged, pane.get(), [&] { ++documents; });
    QObject::connect(&model, &model::SharedPDFViewModel::pageViewRebuildRequested, pane.get(), [&] { ++rebuilds; });
    ASSERT_TRUE(openAndWait(*pane, b));
    waitForIdle();
    EXPECT_EQ(documents, 1);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(model.pageCount(), 3);
}

TEST_F(OpeningTest, BookmarksSavedUnderANameTheHistoryKnewAreFoundAfterAnOutsideRename)
{
    const QString before = paper(QStringLiteral("before.pdf"), 3);
    const QString after = path(QStringLiteral("papers/after.pdf"));
    {
        auto pane = makePane();
        ASSERT_TRUE(openAndWait(*pane, before));
        pane->viewModel()->toggleBookmark();
    }
    ASSERT_TRUE(QFile::rename(before, after));

    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, after));
    EXPECT_EQ(pane->viewModel()->bookmarks().size(), 1u);
}

TEST_F(OpeningTest, ReferencePaneFitsOnlyPapersTheHistoryDoesNotKnow)
{
    const QString file = paper(QStringLiteral("fit.pdf"), 2);
    const auto fitWhenShown = [&](PaneController &pane, const QString &path) {
        std::optional<bool> fit;
        QObject::connect(pane.viewModel(), &model::SharedPDFViewModel::pdfDocumentURLChanged, &pane, [&] {
            if (!pane.viewModel()->pdfDocumentURL().isEmpty() && !fit)
                fit = pane.viewModel()->fitNativeOnMount();
        });
        EXPECT_TRUE(openAndWait(pane, path));
        return fit.value_or(false);
    };

    auto primary = makePane(ReaderPane::primary);
    const QString other = paper(QStringLiteral("other.pdf"), 2);
    EXPECT_FALSE(fitWhenShown(*primary, other));
    EXPECT_TRUE(primary->flipBookMode()) << "a new paper opens in the book view in the primary pane";

    auto reference = makePane(ReaderPane::reference);
    EXPECT_TRUE(fitWhenShown(*reference, file));
    EXPECT_FALSE(reference->flipBookMode()) << "never by default in the reference pane";

    auto again = makePane(ReaderPane::reference);
    const QString dotted = QFileInfo(file).path() + QStringLiteral("/./fit.pdf");
    EXPECT_FALSE(fitWhenShown(*again, dotted)) << "known through a path with a '.' component";
}

TEST_F(OpeningTest, AnUnreadableFileKeepsThePreviousPaperAndRecordsNothing)
{
    const QString good = paper(QStringLiteral("good.pdf"), 2);
    const QString text = path(QStringLiteral("papers/not.pdf"));
    ASSERT_TRUE(writeBytes(text, "plain text, not a PDF"));
    engine::PdfFixtureWriter locked;
    locked.addPage();
    locked.setUserPassword(QStringLiteral("secret"));
    const QString encrypted = path(QStringLiteral("papers/locked.pdf"));
    ASSERT_TRUE(locked.save(encrypted));

    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, good));
    // A file that needs a password is said to be protected.
    for (const auto &[file, alert] : {std::pair{text, PaneController::kUnreadablePDF},
                                      std::pair{encrypted, PaneController::kPasswordProtectedPDF}}) {
        presented->alerts.clear();
        pane->loadPDF(QUrl::fromLocalFile(file));
        ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
        EXPECT_EQ(presented->alerts, QStringList{alert});
        EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(good));
        EXPECT_EQ(pane->fileName(), QStringLiteral("good.pdf"));
    }
    EXPECT_EQ(history().records().size(), 1);
}

TEST_F(OpeningTest, APaperWhoseStoredMarkupsCannotBePlacedOpensAndSaysSo)
{
    const QString paper = path(QStringLiteral("papers/damaged.pdf"));
    ASSERT_TRUE(writeBytes(paper, folvan::test::pdfWhosePageTakesNoAnnotations()));
    auto pane = makePane();
    const QString file = pane->annotations()->markupURL(QUrl::fromLocalFile(paper));
    const QByteArray stored = R"([{"id":"6F1C2A9E-0B7D-4E35-9C1A-2D7F0E4B8A01","page":0,"kind":"highlight",)"
                              R"("rectangles":[[[72,600],[300,12]]],"quote":"q","note":"","color":"yellow"}])";
    ASSERT_TRUE(writeBytes(file, stored));
    ASSERT_TRUE(openAndWait(*pane, paper));
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_TRUE(presented->alerts.front().startsWith(QStringLiteral("无法显示已保存的批注："))) << presented->alerts.front().toStdString();
    EXPECT_EQ(pane->annotations()->markups().size(), 1u);
    EXPECT_EQ(fileBytes(file), stored);
}

TEST_F(OpeningTest, ReadingStateIsWrittenWhenItChanges)
{
    const QString file = paper(QStringLiteral("moving.pdf"), 5);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setJumpToPage(std::nullopt); // carried out by the view
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setCurrentPageIndex(3);
    pane->viewZoomed(2);
    ASSERT_TRUE(waitFor([&] { return history().records().front().state.page == 3; }));
    EXPECT_DOUBLE_EQ(history().records().front().state.zoom, 2.0);
    EXPECT_EQ(history().records().front().state.reflowBlock, 0);
}

TEST_F(OpeningTest, OnlyTheActivePaneWritesWhenBothShowTheSamePaper)
{
    const QString file = paper(QStringLiteral("shared.pdf"), 5);
    auto primary = makePane(ReaderPane::primary);
    auto reference = makePane(ReaderPane::reference);
    ASSERT_TRUE(openAndWait(*primary, file));
    ASSERT_TRUE(openAndWait(*reference, file));
    for (PaneController *pane : {primary.get(), reference.get()}) {
        pane->setIsSplit(true);
        pane->setPeerURL(QUrl::fromLocalFile(file));
    }
    reference->setIsActive(false);
    waitForIdle();
    const qint64 before = history().records().front().state.page;

    model::SharedPDFViewModelTestPeer(reference->viewModel()).setJumpToPage(std::nullopt);
    model::SharedPDFViewModelTestPeer(reference->viewModel()).setCurrentPageIndex(4);
    waitForIdle();
    EXPECT_EQ(history().records().front().state.page, before);

    primary->setIsActive(false);
    reference->setIsActive(true);
    EXPECT_EQ(history().records().front().state.page, 4);
}

TEST_F(OpeningTest, ClosingSavesThePendingPageAndEmptiesThePane)
{
    const QString file = paper(QStringLiteral("close.pdf"), 5);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    pane->panelToggled(PanePanel::notes);
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setJumpToPage(2);
    pane->closePDF();

    EXPECT_EQ(history().records().front().state.page, 2);
    const model::SharedPDFViewModel &model = *pane->viewModel();
    EXPECT_FALSE(model.pdfDocument());
    EXPECT_TRUE(model.pdfDocumentURL().isEmpty());
    EXPECT_EQ(model.pageCount(), 0);
    EXPECT_EQ(pane->fileName(), PaneController::kEmptyTitle);
    EXPECT_FALSE(pane->currentPaperID());
    EXPECT_FALSE(pane->showNotes());
    EXPECT_EQ(history().records().size(), 1) << "closing keeps the paper in the history";
}

TEST_F(OpeningTest, APaneGoingAwayHandsItsLastStateToTheHistoryInTheNextTurn)
{
    const QString file = paper(QStringLiteral("going.pdf"), 5);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    waitForIdle();
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setJumpToPage(3);
    // Other views follow the history; none may be asked to rebuild while
    // the pane, and maybe its window, is being destroyed.
    int changes = 0;
    QObject context;
    QObject::connect(&history(), &history::ReadingHistory::recordsChanged, &context, [&] { ++changes; });
    pane.reset();
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(waitFor([&] { return history().records().front().state.page == 3; }));
}

TEST_F(OpeningTest, APaneGoingAwayWithAnUnwritableDataFolderTouchesNoView)
{
    const QString file = paper(QStringLiteral("stuck.pdf"), 5);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setJumpToPage(3);
    // A file takes the data folder's place: every write fails.
    const QString folder = platform::folvanDataFolder();
    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".away")));
    ASSERT_TRUE(writeBytes(folder, "not a folder"));
    int errors = 0;
    QObject context;
    QObject::connect(&history(), &history::ReadingHistory::errorChanged, &context, [&] { ++errors; });
    pane.reset();
    EXPECT_EQ(errors, 0);
    ASSERT_TRUE(waitFor([&] { return !history().error().isEmpty(); }));
    EXPECT_EQ(history().records().front().state.page, 3) << "the change stays to be written";
}

TEST_F(OpeningTest, CloseOrTeardownDropsAnOpenUnderWay)
{
    const QString file = paper(QStringLiteral("late.pdf"), 2);
    auto pane = makePane();
    pane->loadPDF(QUrl::fromLocalFile(file));
    pane->closePDF();
    waitForIdle();
    EXPECT_TRUE(pane->viewModel()->pdfDocumentURL().isEmpty());

    pane->loadPDF(QUrl::fromLocalFile(file));
    pane.reset();
    waitForIdle();
    EXPECT_TRUE(history().records().isEmpty());
}

} // namespace folvan::pane::test
