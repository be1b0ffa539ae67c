// Daily paper, the start-up open, open requests and drops.

#include "PaneControllerTestSupport.h"

#include "platform/Clock.h"

#include <set>

namespace folvan::pane::test {

namespace {

using DailyPaperTest = ControllerTest;
using StartupTest = ControllerTest;

QStringList fileNames(const QList<QUrl> &urls)
{
    QStringList names;
    for (const QUrl &url : urls)
        names << url.fileName();
    names.sort();
    return names;
}

} // namespace

TEST_F(DailyPaperTest, TheFolderListingKeepsDirectPdfEntriesOfAnyCase)
{
    paper(QStringLiteral("a.pdf"), 1);
    paper(QStringLiteral("b.PDF"), 1);
    paper(QStringLiteral(".short.pdf"), 1);
    paper(QStringLiteral("sub/deep.pdf"), 1);
    ASSERT_TRUE(writeBytes(path(QStringLiteral("papers/notes.txt")), "notes"));

    const QList<QUrl> found = PaneController::getPDFsFromFolder(QUrl::fromLocalFile(path(QStringLiteral("papers"))));
    EXPECT_EQ(fileNames(found), (QStringList{QStringLiteral(".short.pdf"), QStringLiteral("a.pdf"),
                                             QStringLiteral("b.PDF")}));
    EXPECT_TRUE(PaneController::getPDFsFromFolder(QUrl::fromLocalFile(path(QStringLiteral("missing")))).isEmpty());
}

TEST_F(DailyPaperTest, FewestPagesWinAndTiesGoToTheFirstPath)
{
    const QString a = paper(QStringLiteral("a.pdf"), 12);
    const QString b = paper(QStringLiteral("b.PDF"), 3);
    const QString c = paper(QStringLiteral("c.pdf"), 3);
    const QString damaged = path(QStringLiteral("papers/x.pdf"));
    ASSERT_TRUE(writeBytes(damaged, "%PDF-1.7 broken"));

    const QList<QUrl> urls{QUrl::fromLocalFile(damaged), QUrl::fromLocalFile(c), QUrl::fromLocalFile(a),
                           QUrl::fromLocalFile(b)};
    EXPECT_EQ(PaneController::pickShortestPaper(urls), QUrl::fromLocalFile(b));
    EXPECT_EQ(PaneController::pickShortestPaper({QUrl::fromLocalFile(damaged)}), std::nullopt);
    EXPECT_EQ(PaneController::pickShortestPaper({}), std::nullopt);
}

TEST_F(DailyPaperTest, ThePanelFolderIsRememberedAndTheShortestPaperOpens)
{
    paper(QStringLiteral("long.pdf"), 4);
    const QString shortest = paper(QStringLiteral("short.pdf"), 1);
    const QUrl folder = QUrl::fromLocalFile(path(QStringLiteral("papers")));
    chooser->answers.push_back(folder);

    auto pane = makePane();
    pane->openShortPDF();
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(shortest));
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastAccessedDirectory")), folder);

    pane->openShortPDF(); // cancelled
    ASSERT_EQ(chooser->startFolders.size(), 2);
    EXPECT_EQ(chooser->startFolders.last(), folder);
}

TEST_F(DailyPaperTest, AFolderWithoutReadablePapersShowsTheAlertAndKeepsThePaper)
{
    const QString current = paper(QStringLiteral("current.pdf"), 2);
    paper(QStringLiteral("empty/sub/only.pdf"), 1);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, current));

    pane->loadShortPDF(PaneController::getPDFsFromFolder(QUrl::fromLocalFile(path(QStringLiteral("papers/empty")))));
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_EQ(presented->alerts, QStringList{QStringLiteral("此文件夹没有可读取的 PDF。")});
    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(current));
}

TEST_F(DailyPaperTest, AnOpenAfterTheScanStartedWins)
{
    const QString candidate = paper(QStringLiteral("pick/one.pdf"), 1);
    const QString chosen = paper(QStringLiteral("chosen.pdf"), 2);
    auto pane = makePane();
    pane->loadShortPDF({QUrl::fromLocalFile(candidate)});
    pane->loadPDF(QUrl::fromLocalFile(chosen));
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    waitForIdle();
    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(chosen));
    EXPECT_TRUE(presented->alerts.isEmpty());
}

TEST_F(DailyPaperTest, AScanThatEndsAfterItsPaneIsGoneIsDropped)
{
    const QString candidate = paper(QStringLiteral("pick/one.pdf"), 1);
    auto pane = makePane();
    pane->loadShortPDF({QUrl::fromLocalFile(candidate)});
    pane.reset();
    waitForIdle();
    EXPECT_TRUE(presented->alerts.isEmpty());
    EXPECT_TRUE(history().records().isEmpty());
}

TEST_F(StartupTest, ARequestWinsOverTheHistory)
{
    const QString requested = paper(QStringLiteral("request.pdf"), 2);
    history().opened(paper(QStringLiteral("recent.pdf"), 2), {});
    auto pane = makePane();
    // Every document object the pane shows: one open makes one.
    std::set<engine::PdfDocument *> documents;
    QObject::connect(pane->viewModel(), &model::SharedPDFViewModel::pdfDocumentChanged, pane.get(), [&] {
        if (pane->viewModel()->pdfDocument())
            documents.insert(pane->viewModel()->pdfDocument().get());
    });
    pane->setOpenRequest(ReaderOpenRequest{QUuid::createUuid(), QUrl::fromLocalFile(requested)});
    waitForIdle(); // a request arriving before start-up opens at start-up, once
    pane->startUp();
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    waitForIdle();
    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(requested));
    EXPECT_EQ(documents.size(), 1u);
}

TEST_F(StartupTest, WithoutARequestThePrimaryPaneResumesTheMostRecentPaper)
{
    const QString older = paper(QStringLiteral("older.pdf"), 2);
    const QString recent = paper(QStringLiteral("recent.pdf"), 2);
    history().opened(older, {});
    history().opened(recent, {});

    auto pane = makePane();
    pane->startUp();
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocumentURL().isEmpty(); }));
    EXPECT_EQ(pane->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(recent));
}

TEST_F(StartupTest, NothingOpensWhenResumingIsOffOrTheLastPaperIsGone)
{
    const QString older = paper(QStringLiteral("older.pdf"), 2);
    const QString gone = paper(QStringLiteral("gone.pdf"), 2);
    history().opened(older, {});
    history().opened(gone, {});
    ASSERT_TRUE(QFile::remove(gone));

    auto pane = makePane();
    pane->startUp();
    waitForIdle();
    EXPECT_TRUE(pane->viewModel()->pdfDocumentURL().isEmpty()) << "no older record is tried";

    platform::Preferences::shared().setValue(QStringLiteral("folvan.resumeLastDocument"), false);
    history().opened(older, {});
    auto off = makePane();
    off->startUp();
    waitForIdle();
    EXPECT_TRUE(off->viewModel()->pdfDocumentURL().isEmpty());
}

TEST_F(StartupTest, StartUpRunsOnceAndReadsTheStoredLayoutExactly)
{
    platform::Preferences::shared().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("Single"));
    auto pane = makePane();
    pane->startUp();
    EXPECT_TRUE(pane->didStart());
    EXPECT_EQ(pane->pageLayout(), platform::BookLayout::Spread);
    EXPECT_TRUE(pane->viewModel()->reflowAppearance().has_value());

    platform::Preferences::shared().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    pane->startUp();
    EXPECT_EQ(pane->pageLayout(), platform::BookLayout::Spread) << "the step runs once";
    auto second = makePane();
    second->startUp();
    EXPECT_EQ(second->pageLayout(), platform::BookLayout::Single);
}

TEST_F(StartupTest, OnboardingIsRaisedOnlyInThePrimaryPaneBeforeItWasSeen)
{
    platform::ManualClock clock;
    platform::Preferences::shared().setValue(QStringLiteral("hasSeenOnboarding"), false);
    auto reference = makePane(ReaderPane::reference);

    reference->startUp();
    auto primary = makePane(ReaderPane::primary);
    primary->startUp();
    EXPECT_FALSE(primary->showOnboarding());
    clock.advance(PaneController::kOnboardingDelaySeconds);
    ASSERT_TRUE(primary->showOnboarding());

    EXPECT_FALSE(reference->showOnboarding());

    primary->onboardingDismissed();
    EXPECT_TRUE(primary->hasSeenOnboarding());
}

TEST_F(StartupTest, NewRequestsAndDroppedPdfsOpen)
{
    const QString first = paper(QStringLiteral("first.pdf"), 2);
    const QString capital = paper(QStringLiteral("CAPS.PDF"), 3);
    auto pane = makePane();
    pane->startUp();
    pane->setOpenRequest(ReaderOpenRequest{QUuid::createUuid(), QUrl::fromLocalFile(first)});
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(first); }));

    EXPECT_FALSE(pane->openDroppedFile(QUrl::fromLocalFile(path(QStringLiteral("papers")))));
    EXPECT_FALSE(pane->openDroppedFile(QUrl::fromLocalFile(path(QStringLiteral("notes.txt")))));
    EXPECT_TRUE(pane->openDroppedFile(QUrl::fromLocalFile(capital)));
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(capital); }));
}

} // namespace folvan::pane::test
