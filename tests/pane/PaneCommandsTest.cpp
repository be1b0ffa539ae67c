// The pane's command record and the operations behind it, on a pane with
// and without a paper.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneControllerTestSupport.h"

#include "model/ReflowTypography.h"
#include "platform/Desktop.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace folvan::pane::test {

namespace {

class PaneCommandsTest : public OneControllerTest {
protected:
    void openPaper(int pages = 3) { ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("paper.pdf"), pages))); }
    static platform::Preferences &defaults() { return platform::Preferences::shared(); }
};

// An undo step that counts how often it ran each way.
class CountingCommand : public QUndoCommand {
public:
    explicit CountingCommand(int *balance) : m_balance(balance) {}
    void redo() override { ++*m_balance; }
    void undo() override { --*m_balance; }

private:
    int *m_balance;
};

} // namespace

TEST_F(PaneCommandsTest, RecordOfAnEmptyPaneEnablesNothingThatNeedsAPaper)
{
    pane->setIsSplit(true);
    const ReaderActions actions = pane->readerActions();
    EXPECT_FALSE(actions.hasDocument);
    EXPECT_TRUE(actions.isBook);
    EXPECT_FALSE(actions.searchVisible);
    EXPECT_FALSE(actions.hasMatches);
    EXPECT_FALSE(actions.canGoBack);
    EXPECT_FALSE(actions.canGoForward);
    EXPECT_FALSE(actions.hasSelection);
    EXPECT_FALSE(actions.hasAnnotations);
    EXPECT_TRUE(actions.comparisonOpen);
    EXPECT_EQ(actions.pageLayout, platform::BookLayout::Spread);

    // Commands without their object do nothing and report nothing.
    const qsizetype notesBefore = notes::PaperNotesStore::shared().notes().size();
    actions.reflow();
    actions.newNote();
    actions.find();
    actions.nextMatch(true);
    actions.copyAnnotations();
    EXPECT_FALSE(pane->reflowMode());
    EXPECT_FALSE(model().showSearch());
    EXPECT_EQ(notes::PaperNotesStore::shared().notes().size(), notesBefore);
    EXPECT_TRUE(presented->alerts.isEmpty());
}

TEST_F(PaneCommandsTest, RecordFollowsThePaperAndTheView)
{
    openPaper();
    pane->readingModeChosen(false);
    pane->findInPDF();
    ReaderActions actions = pane->readerActions();
    EXPECT_TRUE(actions.hasDocument);
    EXPECT_FALSE(actions.isBook);
    EXPECT_TRUE(actions.searchVisible);
    EXPECT_FALSE(actions.comparisonOpen);

    pane->readingModeChosen(true);
    pane->toggleReflow();
    EXPECT_FALSE(pane->readerActions().isBook);
}

TEST_F(PaneCommandsTest, AKeptRecordActsOnTheLivePaneAndOnNothingOnceItIsGone)
{
    const ReaderActions actions = pane->readerActions();
    openPaper();
    actions.reflow();
    EXPECT_TRUE(pane->reflowMode());
    pane.reset();
    actions.reflow();
    actions.zoom(0.1);
    actions.outline();
}

TEST_F(PaneCommandsTest, PanelCommandsToggleAndPresentationCommandsOnlyOpen)
{
    const ReaderActions actions = pane->readerActions();
    actions.outline();
    EXPECT_TRUE(pane->showOutline());
    actions.outline();
    EXPECT_FALSE(pane->showOutline());
    actions.notes();
    actions.scholar();
    EXPECT_TRUE(pane->showNotes());
    EXPECT_TRUE(pane->showGG());
    actions.help();
    actions.help();
    EXPECT_TRUE(pane->showShortcuts());
    actions.commandPalette();
    EXPECT_TRUE(pane->showCommandPalette());
    // The pane's own record switches no pane.
    actions.focusOtherPane();
}

TEST_F(PaneCommandsTest, TrashAsksFirstAndComparisonIsTheWorkspacesOwnClosure)
{
    int toggles = 0;
    pane->setToggleComparison([&] { ++toggles; });
    openPaper();
    presented->confirmAnswer = false;
    pane->readerActions().trash();
    EXPECT_TRUE(waitFor([&] { return presented->confirmations == 1; }));
    EXPECT_TRUE(QFileInfo::exists(model().pdfDocumentURL().toLocalFile()));
    pane->readerActions().toggleComparison();
    EXPECT_EQ(toggles, 1);
}

TEST_F(PaneCommandsTest, PageZoomStaysWithinHalfAndFourAndIsStored)
{
    const ReaderActions actions = pane->readerActions();
    for (int i = 0; i < 10; ++i)
        actions.zoom(0.1);
    EXPECT_NEAR(pane->scaleFactor(), 2.0, 1e-9);
    EXPECT_NEAR(defaults().doubleValue(QStringLiteral("scaleFactorKey"), 0), 2.0, 1e-9);
    for (int i = 0; i < 40; ++i)
        actions.zoom(0.1);
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 4.0);
    for (int i = 0; i < 60; ++i)
        actions.zoom(-0.1);
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 0.5);
    EXPECT_DOUBLE_EQ(defaults().doubleValue(QStringLiteral("scaleFactorKey"), 0), 0.5);
}

TEST_F(PaneCommandsTest, ReflowZoomStepsTheFontSizeByOnePointWithin14And32)
{
    openPaper();
    pane->toggleReflow();
    ASSERT_TRUE(pane->reflowMode());
    const auto fontSize = [&] { return model().reflowAppearance()->value(QStringLiteral("fontSize")).toDouble(); };
    pane->zoom(0.1);
    EXPECT_DOUBLE_EQ(fontSize(), 21);
    EXPECT_DOUBLE_EQ(defaults().doubleValue(QStringLiteral("folvan.reflowFontSize"), 0), 21);
    for (int i = 0; i < 20; ++i)
        pane->zoom(0.1);
    EXPECT_DOUBLE_EQ(fontSize(), 32);
    for (int i = 0; i < 30; ++i)
        pane->zoom(-0.1);
    EXPECT_DOUBLE_EQ(fontSize(), 14);
    // The page zoom is not touched in reflow.
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 1.0);
}

TEST_F(PaneCommandsTest, ReflowZoomCountsAFontSizeThatIsNoNumberAsTwenty)
{
    openPaper();
    pane->toggleReflow();
    QVariantMap odd = model::ReflowTypography::defaults();
    odd.insert(QStringLiteral("fontSize"), QStringLiteral("large"));
    model::SharedPDFViewModelTestPeer(&model()).setReflowAppearance(odd);
    pane->zoom(-0.1);
    EXPECT_DOUBLE_EQ(model().reflowAppearance()->value(QStringLiteral("fontSize")).toDouble(), 19);
}

TEST_F(PaneCommandsTest, ReflowZoomStoresTheFontSizeAlone)
{
    defaults().setValue(QStringLiteral("folvan.reflowFace"), QStringLiteral("bogus"));
    openPaper();
    pane->toggleReflow();
    pane->zoom(0.1);
    EXPECT_EQ(defaults().value(QStringLiteral("folvan.reflowFace")), QStringLiteral("bogus"));
    EXPECT_FALSE(defaults().contains(QStringLiteral("folvan.reflowLeading")));
}

TEST_F(PaneCommandsTest, ResetViewResetsTiltAndZoomOrInReflowOnlyTheTypography)
{
    openPaper();
    pane->rotationChosen(30);
    pane->viewZoomed(2.5);
    pane->resetView();
    EXPECT_DOUBLE_EQ(pane->rotationAngle(), 0);
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 1.0);
    EXPECT_DOUBLE_EQ(defaults().doubleValue(QStringLiteral("scaleFactorKey"), 0), 1.0);

    pane->rotationChosen(20);
    pane->viewZoomed(1.5);
    pane->toggleReflow();
    pane->zoom(0.3);
    pane->resetView();
    EXPECT_EQ(*model().reflowAppearance(), model::ReflowTypography::defaults());
    EXPECT_DOUBLE_EQ(pane->rotationAngle(), 20);
    EXPECT_DOUBLE_EQ(pane->scaleFactor(), 1.5);
}

TEST_F(PaneCommandsTest, SwitchModeLeavesReflowForTheViewChosenBefore)
{
    openPaper();
    pane->readingModeChosen(false);
    pane->toggleReflow();
    pane->readerActions().switchMode();
    EXPECT_FALSE(pane->reflowMode());
    EXPECT_FALSE(pane->flipBookMode());

    pane->readerActions().switchMode();
    EXPECT_TRUE(pane->flipBookMode());
    EXPECT_TRUE(pane->readingMode());
    pane->toggleReflow();
    EXPECT_FALSE(pane->readingMode());
    pane->readerActions().switchMode();
    EXPECT_TRUE(pane->readingMode());
}

TEST_F(PaneCommandsTest, WritingTheReadingModeAlwaysEndsReflow)
{
    openPaper();
    pane->readingModeChosen(false);
    pane->toggleReflow();
    model::SharedPDFViewModelTestPeer(&model()).setTextSelectionMode(true);
    pane->readingModeChosen(false);
    EXPECT_FALSE(pane->reflowMode());
    EXPECT_FALSE(pane->flipBookMode());
    EXPECT_TRUE(model().textSelectionMode());

    pane->readingModeChosen(true);
    EXPECT_TRUE(pane->flipBookMode());
    EXPECT_FALSE(model().textSelectionMode());
    model::SharedPDFViewModelTestPeer(&model()).setBookTextMode(true);
    pane->readingModeChosen(false);
    EXPECT_FALSE(model().bookTextMode());
}

TEST_F(PaneCommandsTest, ToggleReflowGoesToTheCurrentPageAndEndsSelectionModes)
{
    openPaper(4);
    model::SharedPDFViewModelTestPeer(&model()).setCurrentPageIndex(2);
    model::SharedPDFViewModelTestPeer(&model()).setTextSelectionMode(true);
    model::SharedPDFViewModelTestPeer(&model()).setBookTextMode(true);
    const bool book = pane->flipBookMode();
    int jumps = 0;
    QObject::connect(&model(), &model::SharedPDFViewModel::jumpToPageChanged, pane.get(), [&] {
        if (model().jumpToPage() == 2)
            ++jumps;
    });
    pane->toggleReflow();
    EXPECT_TRUE(pane->reflowMode());
    EXPECT_GE(jumps, 1);
    EXPECT_FALSE(model().textSelectionMode());
    EXPECT_FALSE(model().bookTextMode());
    pane->toggleReflow();
    EXPECT_FALSE(pane->reflowMode());
    EXPECT_EQ(pane->flipBookMode(), book);
}

TEST_F(PaneCommandsTest, PageLayoutIsThePanesOwnAndNotStored)
{
    const ReaderActions actions = pane->readerActions();
    actions.setPageLayout(platform::BookLayout::Single);
    EXPECT_EQ(pane->pageLayout(), platform::BookLayout::Single);
    EXPECT_EQ(pane->readerActions().pageLayout, platform::BookLayout::Single);
    actions.setPageLayout(platform::BookLayout::Spread);
    EXPECT_EQ(pane->pageLayout(), platform::BookLayout::Spread);
    EXPECT_FALSE(defaults().contains(QStringLiteral("folvan.pageLayout")));
}

TEST_F(PaneCommandsTest, NewNoteWithoutSelectionTakesTheCurrentPageAndOpensTheNotesPanel)
{
    openPaper(5);
    ASSERT_TRUE(pane->currentPaperID());
    model::SharedPDFViewModelTestPeer(&model()).setCurrentPageIndex(3);
    const qsizetype before = notes::PaperNotesStore::shared().notes().size();
    pane->readerActions().newNote();
    const QList<notes::PaperNote> notes = notes::PaperNotesStore::shared().notes();
    ASSERT_EQ(notes.size(), before + 1);
    const notes::PaperNote &note = notes.back();
    EXPECT_EQ(note.paperID, pane->currentPaperID());
    EXPECT_EQ(note.page, 3);
    EXPECT_FALSE(note.sources);
    EXPECT_TRUE(note.title.isEmpty() && note.body.isEmpty());
    EXPECT_FALSE(note.deletedAt);
    EXPECT_EQ(pane->selectedNoteID(), note.id);
    EXPECT_TRUE(pane->showNotes());
}

TEST_F(PaneCommandsTest, NewNoteFromAReflowSelectionTakesThePageOfItsFirstPassage)
{
    openPaper(5);
    model::ReadingTextSource first;
    first.page = 4;
    first.quote = QStringLiteral("alpha");
    model::ReadingTextSource second = first;
    second.page = 1;
    model::SharedPDFViewModelTestPeer(&model()).setCurrentPageIndex(0);
    model::SharedPDFViewModelTestPeer(&model()).setReflowSources({first, second});
    const qsizetype before = notes::PaperNotesStore::shared().notes().size();
    pane->createPaperNote();
    const QList<notes::PaperNote> notes = notes::PaperNotesStore::shared().notes();
    ASSERT_EQ(notes.size(), before + 1);
    EXPECT_EQ(notes.back().page, 4);
    ASSERT_TRUE(notes.back().sources);
    EXPECT_EQ(notes.back().sources->size(), 2u);
}

TEST_F(PaneCommandsTest, CopyAnnotationsLeavesTheClipboardAloneWithoutASummary)
{
    openPaper();
    platform::setClipboardText(QStringLiteral("kept"));
    pane->readerActions().copyAnnotations();
    EXPECT_EQ(platform::clipboardText(), QStringLiteral("kept"));
}

TEST_F(PaneCommandsTest, AnnotationUndoAndRedoRepublishTheirStateAtOnce)
{
    openPaper();
    int balance = 0;
    pane->annotations()->annotationUndoManager()->push(new CountingCommand(&balance));
    pane->annotations()->updateAnnotationUndoState();
    ASSERT_TRUE(pane->annotations()->canUndoAnnotation());
    const ReaderActions actions = pane->readerActions();
    actions.undoAnnotation();
    EXPECT_EQ(balance, 0);
    EXPECT_FALSE(pane->annotations()->canUndoAnnotation());
    EXPECT_TRUE(pane->annotations()->canRedoAnnotation());
    actions.redoAnnotation();
    EXPECT_EQ(balance, 1);
    EXPECT_TRUE(pane->annotations()->canUndoAnnotation());
    EXPECT_FALSE(pane->annotations()->canRedoAnnotation());
    EXPECT_TRUE(pane->readerActions().canUndoAnnotation);
}

TEST_F(PaneCommandsTest, NextMatchStepsBothWaysAndWrapsAround)
{
    openPaper(3);
    const ReaderActions actions = pane->readerActions();
    actions.nextMatch(true);
    EXPECT_EQ(model().currentSearchIndex(), 0);
    pane->findInPDF();
    model().searchTextEntered(QStringLiteral("alpha"));
    ASSERT_TRUE(waitFor([&] { return model().searchResults().size() == 3; }));
    EXPECT_TRUE(pane->readerActions().hasMatches);
    actions.nextMatch(true);
    EXPECT_EQ(model().currentSearchIndex(), 1);
    model::SharedPDFViewModelTestPeer(&model()).setCurrentSearchIndex(0);
    actions.nextMatch(false);
    EXPECT_EQ(model().currentSearchIndex(), 2);
    actions.nextMatch(true);
    EXPECT_EQ(model().currentSearchIndex(), 0);
}

TEST_F(PaneCommandsTest, SnapshotIsReportedWhenThePaperOrTheFlagsChange)
{
    int reports = 0;
    QObject::connect(pane.get(), &PaneController::snapshotChanged, pane.get(), [&] { ++reports; });
    waitForIdle();
    const int atStart = reports;
    openPaper();
    ASSERT_TRUE(waitFor([&] { return reports > atStart; }));
    const ReaderPaneSnapshot snapshot = pane->snapshot();
    EXPECT_EQ(snapshot.pane, ReaderPane::primary);
    EXPECT_EQ(snapshot.model, pane->viewModel());
    EXPECT_EQ(snapshot.url, model().pdfDocumentURL());
    EXPECT_TRUE(snapshot.actions.hasDocument);

    const int afterOpen = reports;
    pane->viewZoomed(1.7); // not a flag of the record
    waitForIdle();
    EXPECT_EQ(reports, afterOpen);
    pane->choosePageLayout(platform::BookLayout::Single);
    EXPECT_TRUE(waitFor([&] { return reports == afterOpen + 1; }));
}

} // namespace folvan::pane::test
