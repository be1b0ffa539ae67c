// Renaming, moving and trashing the open paper, and the other pane
// following.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "annotations/ReadingMarkup.h"
#include "engine/PdfDocument.h"
#include "platform/NotificationCenter.h"
#include "pane/PaneNotifications.h"

namespace folvan::pane::test {

namespace {

class FileOperationsTest : public OneControllerTest {
protected:
    void SetUp() override
    {
        OneControllerTest::SetUp();
        file = paper(QStringLiteral("Paper.pdf"), 3);
        ASSERT_TRUE(openAndWait(*pane, file));
        platform::NotificationCenter::shared().observe<DocumentRelocated>(
            &observer, [this](const DocumentRelocated &moved) { relocations << moved; });
        platform::NotificationCenter::shared().observe<DocumentTrashed>(
            &observer, [this](const DocumentTrashed &trashed) { trashes << trashed; });
    }

    // A bookmark and a highlight, saved under the paper's current name.
    void addSideFiles()
    {
        model::SharedPDFViewModel &model = *pane->viewModel();
        model.toggleBookmark();
        const auto page = model.pdfDocument()->page(0);
        model.pageSelectionChanged(page.selection(engine::PdfTextRange{0, 4}));
        pane->annotations()->addMarkup(QStringLiteral("highlight"), QString());
        ASSERT_EQ(pane->annotations()->markups().size(), 1u);
    }

    QUrl url() const { return pane->viewModel()->pdfDocumentURL(); }

    QString file;
    QObject observer;
    QList<DocumentRelocated> relocations;
    QList<DocumentTrashed> trashes;
};

} // namespace

TEST_F(FileOperationsTest, RenamingMovesEverythingKeyedByTheLocation)
{
    addSideFiles();
    model::SharedPDFViewModel &model = *pane->viewModel();
    const QUrl oldURL = url();
    const QString oldMarkups = pane->annotations()->markupURL(oldURL);
    const QString oldBookmarks = model.bookmarkURL(oldURL);
    // The reader is on page 3; the opening's jump has been carried out.
    model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    const QUuid recordID = history().records().front().id;
    const QByteArray markupBytes = fileBytes(oldMarkups);
    const QByteArray bookmarkBytes = fileBytes(oldBookmarks);

    pane->beginRename();
    EXPECT_EQ(pane->editableFileName(), QStringLiteral("Paper"));
    EXPECT_TRUE(pane->isEditing());
    pane->renameTextEdited(QStringLiteral("Deep Nets: A Survey"));
    pane->commitRename();

    const QString target = path(QStringLiteral("papers/Deep Nets- A Survey.pdf"));
    const QUrl newURL = QUrl::fromLocalFile(target);
    EXPECT_FALSE(pane->isEditing());
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(url(), newURL);
    EXPECT_EQ(pane->fileName(), QStringLiteral("Deep Nets- A Survey.pdf"));

    const history::RecentReading &record = history().records().front();
    EXPECT_EQ(record.id, recordID);
    EXPECT_EQ(record.path, target);
    EXPECT_EQ(record.state.page, 2);
    ASSERT_TRUE(pane->currentPaperID());
    EXPECT_EQ(notes::PaperNotesStore::shared().paper(pane->currentPaperID())->path, target);

    // The side files go with the paper: the old name keeps none (they lie
    // beside, set aside).
    EXPECT_FALSE(QFileInfo::exists(oldMarkups));
    EXPECT_FALSE(QFileInfo::exists(oldBookmarks));
    EXPECT_EQ(fileBytes(pane->annotations()->markupURL(newURL)), markupBytes);
    EXPECT_EQ(fileBytes(model.bookmarkURL(newURL)), bookmarkBytes);

    ASSERT_EQ(relocations.size(), 1);
    const DocumentRelocated info = relocations.front();
    EXPECT_EQ(info.session, model.readingSessionID());
    EXPECT_EQ(info.oldURL, oldURL);
    EXPECT_EQ(info.newURL, newURL);
}

TEST_F(FileOperationsTest, RenameRefusesInvalidNamesAndExistingTargets)
{
    const QString other = paper(QStringLiteral("Other.pdf"), 1);
    const QByteArray otherBytes = fileBytes(other);
    const QByteArray paperBytes = fileBytes(file);

    for (const QString &typed : {QStringLiteral("   "), QStringLiteral("!!!"), QStringLiteral(".PDF"), QStringLiteral("..")}) {
        presented->alerts.clear();
        pane->renamePDF(typed);
        ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
        EXPECT_EQ(presented->alerts.front(), QStringLiteral("请输入有效的文件名。")) << typed.toStdString();
    }
    platform::Preferences::shared().setValue(QStringLiteral("replacementForColon"), QStringLiteral("/"));
    presented->alerts.clear();
    // The full-width colon is replaced after the solidus row.
    pane->renamePDF(QStringLiteral("a\uFF1Ab"));
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_EQ(presented->alerts.front(), QStringLiteral("请输入有效的文件名。")) << "never leaves the folder";

    presented->alerts.clear();
    pane->renamePDF(QStringLiteral("Other"));
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_EQ(presented->alerts.front(), QStringLiteral("无法重命名： 同名文件已存在"));
    EXPECT_EQ(fileBytes(other), otherBytes);
    EXPECT_EQ(fileBytes(file), paperBytes);
    EXPECT_EQ(url(), QUrl::fromLocalFile(file));
    EXPECT_TRUE(relocations.isEmpty());
}

TEST_F(FileOperationsTest, AnUpperCaseExtensionIsNotDoubled)
{
    const QString upper = paper(QStringLiteral("Scan.PDF"), 1);
    ASSERT_TRUE(openAndWait(*pane, upper));
    pane->beginRename();
    EXPECT_EQ(pane->editableFileName(), QStringLiteral("Scan.PDF"));
    pane->commitRename();
    waitForIdle();
    EXPECT_TRUE(QFileInfo::exists(upper));
    EXPECT_FALSE(QFileInfo::exists(upper + QStringLiteral(".pdf")));
    EXPECT_TRUE(presented->alerts.isEmpty());
    EXPECT_TRUE(relocations.isEmpty());
}

TEST_F(FileOperationsTest, AnUnreadableSideFileIsCarriedOverNotEmptied)
{
    model::SharedPDFViewModel &model = *pane->viewModel();
    const QUrl oldURL = url();
    for (const QString &side : {model.bookmarkURL(oldURL), pane->annotations()->markupURL(oldURL)})
        ASSERT_TRUE(writeBytes(side, "{not json"));
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("elsewhere.pdf"), 1)));
    ASSERT_TRUE(openAndWait(*pane, file));
    ASSERT_TRUE(model.navigationError().has_value());

    pane->renamePDF(QStringLiteral("Renamed"));
    const QUrl newURL = QUrl::fromLocalFile(path(QStringLiteral("papers/Renamed.pdf")));
    ASSERT_EQ(url(), newURL);
    EXPECT_EQ(fileBytes(model.bookmarkURL(newURL)), QByteArray("{not json"));
    EXPECT_EQ(fileBytes(pane->annotations()->markupURL(newURL)), QByteArray("{not json"));
    // They went whole: nothing is left under the old name.
    for (const QString &side : {model.bookmarkURL(oldURL), pane->annotations()->markupURL(oldURL)}) {
        EXPECT_FALSE(QFileInfo::exists(side));
        EXPECT_TRUE(QFileInfo(side).dir().entryList({QFileInfo(side).fileName() + QStringLiteral(".*")}).isEmpty());
    }
}

TEST_F(FileOperationsTest, MovingFollowsTheFileAndTheOtherPaneFollowsTheNotice)
{
    addSideFiles();
    auto other = makePane(ReaderPane::reference);
    ASSERT_TRUE(openAndWait(*other, file));
    const QUrl oldURL = url();
    const QUrl folder = QUrl::fromLocalFile(path(QStringLiteral("moved")));
    QDir().mkpath(folder.toLocalFile());
    chooser->answers.push_back(folder);

    pane->moveCurrentPDF();
    const QUrl newURL = QUrl::fromLocalFile(path(QStringLiteral("moved/Paper.pdf")));
    ASSERT_TRUE(waitFor([&] { return url() == newURL; }));
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastMovePanelURL")), folder);
    EXPECT_EQ(pane->fileName(), QStringLiteral("Paper.pdf"));
    EXPECT_EQ(history().records().front().path, newURL.toLocalFile());
    EXPECT_TRUE(QFileInfo::exists(pane->annotations()->markupURL(newURL)));
    EXPECT_TRUE(QFileInfo::exists(pane->viewModel()->bookmarkURL(newURL)));
    ASSERT_EQ(relocations.size(), 1);
    EXPECT_EQ(relocations.front().session, pane->viewModel()->readingSessionID());

    EXPECT_EQ(other->viewModel()->pdfDocumentURL(), newURL);
    EXPECT_EQ(other->fileName(), QStringLiteral("Paper.pdf"));
    EXPECT_EQ(other->currentPaperID(), pane->currentPaperID());
    EXPECT_TRUE(other->viewModel()->pdfDocument()) << "the document is not reopened";
    Q_UNUSED(oldURL);
}

TEST_F(FileOperationsTest, MovingOntoAnExistingFileChangesNothing)
{
    const QString folder = path(QStringLiteral("full"));
    const QString occupant = folder + QStringLiteral("/Paper.pdf");
    ASSERT_TRUE(writePaper(occupant, 1, QStringLiteral("other paper")));
    const QByteArray occupantBytes = fileBytes(occupant);
    const QByteArray paperBytes = fileBytes(file);
    chooser->answers.push_back(QUrl::fromLocalFile(folder));

    pane->moveCurrentPDF();
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_TRUE(presented->alerts.front().startsWith(QStringLiteral("无法移动 PDF： ")));
    EXPECT_GT(presented->alerts.front().size(), QStringLiteral("无法移动 PDF： ").size());
    EXPECT_EQ(fileBytes(occupant), occupantBytes);
    EXPECT_EQ(fileBytes(file), paperBytes);
    EXPECT_EQ(url(), QUrl::fromLocalFile(file));
    EXPECT_EQ(platform::Preferences::shared().urlValue(QStringLiteral("lastMovePanelURL")),
              QUrl::fromLocalFile(folder));
    waitForIdle();
    EXPECT_TRUE(relocations.isEmpty());
}

TEST_F(FileOperationsTest, ARelocationOfAnotherPaperOrWithoutNewIsIgnored)
{
    platform::NotificationCenter &center = platform::NotificationCenter::shared();
    center.post(DocumentRelocated{QUuid(), QUrl::fromLocalFile(path(QStringLiteral("x.pdf"))),
                                  QUrl::fromLocalFile(path(QStringLiteral("y.pdf")))});
    center.post(DocumentRelocated{QUuid(), QUrl::fromLocalFile(file), QUrl()});
    center.post(DocumentRelocated{pane->viewModel()->readingSessionID(), QUrl::fromLocalFile(file),
                                  QUrl::fromLocalFile(path(QStringLiteral("z.pdf")))});
    EXPECT_EQ(url(), QUrl::fromLocalFile(file));

    // Without a session the notice is followed.
    center.post(DocumentRelocated{QUuid(), QUrl::fromLocalFile(file), QUrl::fromLocalFile(path(QStringLiteral("n.pdf")))});
    EXPECT_EQ(url(), QUrl::fromLocalFile(path(QStringLiteral("n.pdf"))));
}

TEST_F(FileOperationsTest, TrashingClosesBothPanesAndForgetsTheRecord)
{
    auto other = makePane(ReaderPane::reference);
    ASSERT_TRUE(openAndWait(*other, file));
    int closes = 0;
    QObject::connect(pane.get(), &PaneController::fileNameChanged, pane.get(), [&] {
        if (pane->fileName() == PaneController::kEmptyTitle)
            ++closes;
    });

    pane->confirmTrash();
    ASSERT_TRUE(waitFor([&] { return !pane->viewModel()->pdfDocument(); }));
    EXPECT_EQ(presented->confirmations, 1);
    EXPECT_FALSE(pane->showDeleteConfirmation());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(other->viewModel()->pdfDocument());
    EXPECT_TRUE(other->viewModel()->pdfDocumentURL().isEmpty());
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(history().records().isEmpty());
    ASSERT_EQ(trashes.size(), 1);
    EXPECT_EQ(trashes.front().url, QUrl::fromLocalFile(file));
    EXPECT_EQ(trashes.front().session, pane->viewModel()->readingSessionID());
}

TEST_F(FileOperationsTest, TrashingAPaperWithoutRecordStillClosesIt)
{
    history().forget(history().records().front().id);
    ASSERT_TRUE(history().records().isEmpty());
    pane->deleteCurrentPDF();
    EXPECT_FALSE(pane->viewModel()->pdfDocument());
    EXPECT_FALSE(QFileInfo::exists(file));

    presented->alerts.clear();
    pane->deleteCurrentPDF();
    ASSERT_TRUE(waitFor([&] { return !presented->alerts.isEmpty(); }));
    EXPECT_EQ(presented->alerts.front(), QStringLiteral("当前没有打开的 PDF"));
}

TEST_F(FileOperationsTest, CancellingTheTrashConfirmationLeavesEverything)
{
    presented->confirmAnswer = false;
    pane->confirmTrash();
    ASSERT_TRUE(waitFor([&] { return presented->confirmations == 1; }));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(url(), QUrl::fromLocalFile(file));
    EXPECT_TRUE(trashes.isEmpty());
}

// A controller that was handed no presenter and no file chooser asks
// nothing: a trash is not confirmed (so nothing is trashed), no panel opens
// (so nothing moves and nothing else opens), and an alert is let go.
TEST_F(FileOperationsTest, WithoutPresenterOrChooserNothingIsAskedAndNothingHappens)
{
    pane->setPresenter(nullptr);
    pane->setFileChooser(nullptr);
    chooser->answers.push_back(QUrl::fromLocalFile(path(QStringLiteral("papers"))));
    pane->confirmTrash();
    pane->moveCurrentPDF();
    pane->selectAndOpenPDF();
    pane->openShortPDF();
    pane->renamePDF(QString());
    waitForIdle();
    EXPECT_FALSE(pane->showDeleteConfirmation());
    EXPECT_FALSE(pane->showingAlert());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(url(), QUrl::fromLocalFile(file));
    EXPECT_TRUE(trashes.isEmpty());
    EXPECT_TRUE(relocations.isEmpty());
    EXPECT_EQ(chooser->answers.size(), 1u);
    EXPECT_TRUE(presented->alerts.isEmpty());
}

} // namespace folvan::pane::test
