// A paper renamed or moved, by the reader or outside it, takes its marks and
// its page along; another paper that later arrives under the old name
// starts bare.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "annotations/AnnotationFile.h"
#include "engine/PdfDocument.h"
#include "platform/PreferenceKeys.h"

namespace folvan::pane::test {

namespace {

enum class Relocation { Rename, Move };

// Opens `path` and waits until its stored markups are in place too.
bool openAndRead(PaneController &pane, const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    pane.loadPDF(url);
    return waitFor([&] { return pane.viewModel()->pdfDocumentURL() == url; })
        && waitFor([&] { return !pane.annotations()->markupsLoading(); });
}

// A marked paper, open; `file` is its path.
class MarkedPaperTest : public OneControllerTest {
protected:
    void SetUp() override
    {
        OneControllerTest::SetUp();
        file = paper(QStringLiteral("paper.pdf"), 4);
        ASSERT_TRUE(openAndWait(*pane, file));
    }

    // A bookmark and a highlight on page 1, and the reader on page 3 (the
    // page the page view stores as well).
    void markAndTurn()
    {
        model::SharedPDFViewModel &model = *pane->viewModel();
        model.toggleBookmark();
        model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
        model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
        model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
        platform::Preferences::shared().setValue(platform::prefkey::lastPage(file), 2);
    }

    // A download of the same name at the paper's first path, opened: it
    // shows nothing of the paper, and what it gets is stored alone.
    void expectANewcomerAtTheFirstPathStartsBare()
    {
        ASSERT_TRUE(writePaper(file, 4, QStringLiteral("gamma delta")));
        ASSERT_TRUE(openAndRead(*pane, file));
        model::SharedPDFViewModel &model = *pane->viewModel();
        EXPECT_TRUE(pane->annotations()->markups().empty());
        EXPECT_TRUE(model.bookmarks().empty());
        EXPECT_EQ(model.currentPageIndex(), 0);
        EXPECT_FALSE(pane->annotations()->markupError());
        EXPECT_FALSE(model.navigationError());

        model.pageSelectionChanged(model.pdfDocument()->page(1).selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("underline"), QString());
        const auto stored = annotations::readMarkupFile(pane->annotations()->markupURL(QUrl::fromLocalFile(file)));
        ASSERT_TRUE(stored.markups);
        EXPECT_EQ(stored.markups->size(), 1u);
    }

    // The paper, opened at `moved`, has its highlight, bookmark and page.
    void expectThePaperKeepsEverythingAt(const QString &moved)
    {
        ASSERT_TRUE(openAndRead(*pane, moved));
        EXPECT_EQ(pane->annotations()->markups().size(), 1u);
        EXPECT_EQ(pane->viewModel()->bookmarks().size(), 1u);
        EXPECT_EQ(pane->viewModel()->currentPageIndex(), 2);
    }

    QString file;
};

class FormerNameTest : public MarkedPaperTest, public ::testing::WithParamInterface<Relocation> {
protected:
    // Renames or moves the open paper as the reader's commands do; its new path.
    QString relocate(Relocation how)
    {
        QDir().mkpath(path(QStringLiteral("moved")));
        chooser->answers.push_back(QUrl::fromLocalFile(path(QStringLiteral("moved"))));
        how == Relocation::Rename ? pane->renamePDF(QStringLiteral("renamed")) : pane->moveCurrentPDF();
        const QString target = path(how == Relocation::Rename ? "papers/renamed.pdf" : "moved/paper.pdf");
        EXPECT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(target); }));
        return target;
    }
};

} // namespace

TEST_P(FormerNameTest, AnotherPaperAtTheOldNameShowsNoneOfTheMarksOrThePage)
{
    markAndTurn();
    const QUrl oldURL = QUrl::fromLocalFile(file);
    const QStringList sideFiles{pane->annotations()->markupURL(oldURL), pane->viewModel()->bookmarkURL(oldURL)};
    const QString moved = relocate(GetParam());

    expectANewcomerAtTheFirstPathStartsBare();
    expectThePaperKeepsEverythingAt(moved);
    EXPECT_EQ(platform::Preferences::shared().intValue(platform::prefkey::lastPage(moved)), 2);
    // They went along: nothing of them is left under the old name.
    for (const QString &side : sideFiles)
        EXPECT_TRUE(QFileInfo(side).dir().entryList({QFileInfo(side).fileName() + ".*"}).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(RenameAndMove, FormerNameTest, ::testing::Values(Relocation::Rename, Relocation::Move));

// A paper renamed outside the reader is found by the history under its new
// name, with its marks and page; a newcomer under the old name is another
// paper, whichever of the two is opened first.
class RenamedOutsideTest : public MarkedPaperTest {
protected:
    // Marks the paper, leaves it, renames it in a shell; its new path.
    QString renameOutside()
    {
        markAndTurn();
        notesOfThePaper = pane->currentPaperID();
        EXPECT_TRUE(openAndWait(*pane, paper(QStringLiteral("other.pdf"), 1)));
        const QString renamed = path(QStringLiteral("papers/renamed elsewhere.pdf"));
        EXPECT_TRUE(QFile::rename(file, renamed));
        return renamed;
    }
    std::optional<QUuid> notesOfThePaper;
};

TEST_F(RenamedOutsideTest, ANewcomerAtTheOldNameAfterThePaperWasOpenedStartsBare)
{
    const QString renamed = renameOutside();
    expectThePaperKeepsEverythingAt(renamed);
    expectANewcomerAtTheFirstPathStartsBare();
    EXPECT_NE(pane->currentPaperID(), notesOfThePaper);
    expectThePaperKeepsEverythingAt(renamed);
    EXPECT_EQ(pane->currentPaperID(), notesOfThePaper);
}

TEST_F(RenamedOutsideTest, ANewcomerAtTheOldNameOpenedFirstStartsBare)
{
    const QString renamed = renameOutside();
    expectANewcomerAtTheFirstPathStartsBare();
    EXPECT_NE(pane->currentPaperID(), notesOfThePaper);
    expectThePaperKeepsEverythingAt(renamed);
    EXPECT_EQ(pane->currentPaperID(), notesOfThePaper);
}

TEST_F(RenamedOutsideTest, ThePaperReopenedAfterANewcomerArrivedKeepsEverything)
{
    const QString renamed = renameOutside();
    ASSERT_TRUE(writePaper(file, 4, QStringLiteral("gamma delta")));
    expectThePaperKeepsEverythingAt(renamed);
    EXPECT_EQ(pane->currentPaperID(), notesOfThePaper);
    expectANewcomerAtTheFirstPathStartsBare();
    EXPECT_NE(pane->currentPaperID(), notesOfThePaper);
}

} // namespace folvan::pane::test
