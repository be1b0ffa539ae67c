// A paper that the reader renamed or moved takes its marks and its page
// along; another paper that later arrives under the old name starts bare.

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

class FormerNameTest : public OneControllerTest, public ::testing::WithParamInterface<Relocation> {
protected:
    void SetUp() override
    {
        OneControllerTest::SetUp();
        file = paper(QStringLiteral("paper.pdf"), 4);
        ASSERT_TRUE(openAndWait(*pane, file));
    }

    // A bookmark on page 1 and a highlight, saved under the current name,
    // and the reader on page 3 (the page the page view stores as well).
    void markAndTurn()
    {
        model::SharedPDFViewModel &model = *pane->viewModel();
        model.toggleBookmark();
        model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
        ASSERT_EQ(pane->annotations()->markups().size(), 1u);
        model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
        model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
        platform::Preferences::shared().setValue(platform::prefkey::lastPage(file), 2);
    }

    // Renames or moves the open paper as the reader's commands do; its new path.
    QString relocate(Relocation how)
    {
        QString target;
        if (how == Relocation::Rename) {
            pane->renamePDF(QStringLiteral("renamed"));
            target = path(QStringLiteral("papers/renamed.pdf"));
        } else {
            QDir().mkpath(path(QStringLiteral("moved")));
            chooser->answers.push_back(QUrl::fromLocalFile(path(QStringLiteral("moved"))));
            pane->moveCurrentPDF();
            target = path(QStringLiteral("moved/paper.pdf"));
        }
        EXPECT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(target); }));
        EXPECT_TRUE(presented->alerts.isEmpty());
        return target;
    }

    // The files of the annotation folder set aside from `sideFile`.
    QStringList setAside(const QString &sideFile) const
    {
        const QFileInfo info(sideFile);
        return info.dir().entryList({info.fileName() + QStringLiteral(".moved-*")}, QDir::Files);
    }

    QString file;
};

} // namespace

TEST_P(FormerNameTest, AnotherPaperAtTheOldNameShowsNoneOfTheMarksOrThePage)
{
    markAndTurn();
    model::SharedPDFViewModel &model = *pane->viewModel();
    const QUrl oldURL = QUrl::fromLocalFile(file);
    const QString oldMarkups = pane->annotations()->markupURL(oldURL);
    const QString oldBookmarks = model.bookmarkURL(oldURL);
    const QString moved = relocate(GetParam());
    const std::optional<QUuid> notesOfTheMovedPaper = pane->currentPaperID();

    // A download of the same name.
    ASSERT_TRUE(writePaper(file, 4, QStringLiteral("gamma delta")));
    ASSERT_TRUE(openAndRead(*pane, file));
    EXPECT_TRUE(pane->annotations()->markups().empty());
    EXPECT_TRUE(model.bookmarks().empty());
    EXPECT_EQ(model.currentPageIndex(), 0);
    EXPECT_FALSE(pane->annotations()->markupError());
    EXPECT_FALSE(model.navigationError());
    EXPECT_NE(pane->currentPaperID(), notesOfTheMovedPaper);

    // What the newcomer gets is stored alone.
    model.pageSelectionChanged(model.pdfDocument()->page(1).selection(engine::PdfTextRange{0, 4}));
    pane->annotations()->addMarkup(QStringLiteral("underline"), QString());
    const annotations::MarkupFileContent stored = annotations::readMarkupFile(oldMarkups);
    ASSERT_TRUE(stored.markups);
    ASSERT_EQ(stored.markups->size(), 1u);
    EXPECT_EQ(stored.markups->front().page, 1);

    // The paper that left keeps everything.
    ASSERT_TRUE(openAndRead(*pane, moved));
    ASSERT_EQ(pane->annotations()->markups().size(), 1u);
    EXPECT_EQ(pane->annotations()->markups().front().page, 0);
    EXPECT_EQ(model.bookmarks().size(), 1u);
    EXPECT_EQ(model.currentPageIndex(), 2);
    EXPECT_EQ(pane->currentPaperID(), notesOfTheMovedPaper);
    EXPECT_EQ(platform::Preferences::shared().intValue(platform::prefkey::lastPage(moved)), 2);
    EXPECT_FALSE(platform::Preferences::shared().contains(platform::prefkey::lastPage(file)));

    // Nothing was deleted: the old name's files lie beside, bytes kept.
    ASSERT_EQ(setAside(oldMarkups).size(), 1);
    ASSERT_EQ(setAside(oldBookmarks).size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(oldMarkups).dir().filePath(setAside(oldMarkups).front())),
              fileBytes(pane->annotations()->markupURL(QUrl::fromLocalFile(moved))));
    EXPECT_EQ(fileBytes(QFileInfo(oldBookmarks).dir().filePath(setAside(oldBookmarks).front())),
              fileBytes(model.bookmarkURL(QUrl::fromLocalFile(moved))));
}

INSTANTIATE_TEST_SUITE_P(RenameAndMove, FormerNameTest, ::testing::Values(Relocation::Rename, Relocation::Move),
                         [](const ::testing::TestParamInfo<Relocation> &info) {
                             return info.param == Relocation::Rename ? std::string("Rename") : std::string("Move");
                         });

// A paper renamed outside the reader is still found by the history, and
// its marks and page with it.
class RenamedOutsideTest : public OneControllerTest {};

TEST_F(RenamedOutsideTest, ThePaperKeepsItsMarksAndPage)
{
    const QString file = paper(QStringLiteral("paper.pdf"), 4);
    ASSERT_TRUE(openAndWait(*pane, file));
    model::SharedPDFViewModel &model = *pane->viewModel();
    model.toggleBookmark();
    model.pageSelectionChanged(model.pdfDocument()->page(0).selection(engine::PdfTextRange{0, 4}));
    pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
    model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(3);
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("other.pdf"), 1)));

    const QString renamed = path(QStringLiteral("papers/renamed elsewhere.pdf"));
    ASSERT_TRUE(QFile::rename(file, renamed));
    ASSERT_TRUE(openAndRead(*pane, renamed));
    EXPECT_EQ(pane->annotations()->markups().size(), 1u);
    EXPECT_EQ(model.bookmarks().size(), 1u);
    EXPECT_EQ(model.currentPageIndex(), 3);
}

} // namespace folvan::pane::test
