// The open panel and a paper note's way back to its source.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "notes/PaperNote.h"

namespace folvan::pane::test {

namespace {

using PapersTest = ControllerTest;

} // namespace

TEST_F(PapersTest, TheOpenPanelRemembersTheChosenFilesFolder)
{
    const QString file = paper(QStringLiteral("panel/chosen.pdf"), 2);
    auto pane = makePane();
    pane->selectAndOpenPDF(); // cancelled
    EXPECT_FALSE(platform::Preferences::shared().contains(QStringLiteral("lastAccessedDirectory")));

    chooser->answers.push_back(QUrl::fromLocalFile(file));
    pane->selectAndOpenPDF();
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(file); }));
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastAccessedDirectory")),
              QUrl::fromLocalFile(path(QStringLiteral("papers/panel"))));
}

TEST_F(PapersTest, ANoteOfAnotherPaperOpensThatPaperAtTheNotesPage)
{
    const QString shown = paper(QStringLiteral("shown.pdf"), 2);
    const QString quoted = paper(QStringLiteral("quoted.pdf"), 5);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, shown));

    notes::PaperNote note;
    note.paperID = notes::PaperNotesStore::shared().registerPaper(quoted);
    note.page = 3;
    pane->openNoteSource(note);
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(quoted); }));
    EXPECT_EQ(pane->viewModel()->currentPageIndex(), 3);
}

TEST_F(PapersTest, ANoteOfTheShownPaperGoesToItsPageRememberingThePlaceLeft)
{
    const QString shown = paper(QStringLiteral("shown.pdf"), 4);
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, shown));
    model::SharedPDFViewModel &model = *pane->viewModel();
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
    const size_t before = model.backLocations().size();

    notes::PaperNote note;
    note.paperID = notes::PaperNotesStore::shared().registerPaper(shown);
    pane->openNoteSource(note);
    EXPECT_EQ(model.jumpToPage(), std::optional<int>(0));
    EXPECT_EQ(model.backLocations().size(), before + 1);

    notes::PaperNote orphan;
    pane->openNoteSource(orphan); // no paper: nothing at all
    EXPECT_EQ(model.backLocations().size(), before + 1);
    EXPECT_TRUE(presented->alerts.isEmpty());
}

TEST_F(PapersTest, APaperAnotherReaderRegisteredFirstKeepsItsRecordAndTheNotesFollowIt)
{
    const QString file = paper(QStringLiteral("c.pdf"), 2);
    notes::PaperNotesStore &mine = notes::PaperNotesStore::shared();
    // Another reader on the same library opens the paper first.
    notes::PaperNotesStore theirs(notes::PaperNotesStore::defaultFilePath(), platform::Preferences::shared());
    const QUuid kept = theirs.registerPaper(file);
    theirs.flush();

    // The open reads what the other reader wrote first: no second record.
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, file));
    EXPECT_EQ(pane->currentPaperID(), kept);
    pane->createPaperNote();
    mine.flush();
    EXPECT_EQ(pane->currentPaperID(), kept);
    ASSERT_EQ(mine.notes().size(), 1);
    EXPECT_EQ(mine.notes().first().paperID, kept);
    EXPECT_EQ(mine.papers().size(), 1);
    // What the pane notes from now on is the kept record's.
    pane->createPaperNote();
    EXPECT_EQ(mine.search(QString(), kept, true).size(), 2);
}

} // namespace folvan::pane::test
