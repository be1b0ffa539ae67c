// A paper note's way back to its passage in the page view.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneTestSupport.h"

#include "engine/PdfSelection.h"
#include "notes/PaperNote.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "notes/PaperNotesStore.h"
#include "platform/Paths.h"
#include "reflow/ReflowView.h"
#include "window/PaneLayout.h"
#include "window/ReadingArea.h"

namespace folvan::window::test {

namespace {

using PapersTest = PaneTest;

} // namespace

// A note made from a word selected in the page view, opened again from the
// same paper and from another one: the page view shows the note's page with
// the word marked, and a way back to where the reader was.
TEST_F(PapersTest, ANoteMadeFromAPageSelectionMarksItsPassageWhenItsSourceOpens)
{
    const QString quoted = paper(QStringLiteral("quoted.pdf"), 4, QStringLiteral("gamma delta"));
    const QString other = paper(QStringLiteral("other.pdf"), 2);
    auto pane = makePane(pane::ReaderPane::reference);
    pane->resize(1200, 900);
    pane->show();
    const auto pageView = [&]() -> pdfview::DroppablePDFView * {
        return pane->pageView() ? pane->pageView()->pdfView() : nullptr;
    };
    const auto pageViewShows = [&](const QString &file) {
        return pane->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(file) && pageView()
            && pageView()->document() == pane->viewModel()->pdfDocument() && !pane->pageView()->coordinator()->restoring;
    };
    ASSERT_TRUE(openAndWait(*pane, quoted));
    ASSERT_TRUE(waitFor([&] { return pageViewShows(quoted); }));
    model::SharedPDFViewModel &model = *pane->viewModel();

    const engine::PdfSelection word = engine::PdfPage(pageView()->document(), 2).selectionForWord(QPointF(80, 654));
    ASSERT_EQ(word.string(), QStringLiteral("gamma"));
    pageView()->setCurrentSelection(word);
    ASSERT_TRUE(waitFor([&] { return model.retainedSelection() == std::optional(word); }));
    pane->controller()->createPaperNote();
    const notes::PaperNote note = notes::PaperNotesStore::shared().notes().back();
    ASSERT_TRUE(note.sources && note.sources->size() == 1u);
    pageView()->clearSelection();
    model::SharedPDFViewModelTestPeer(&model).setJumpToPage(0);
    ASSERT_TRUE(waitFor([&] { return !model.jumpToPage() && pageView()->currentPageIndex() == 0; }));

    const auto marksTheWord = [&] {
        const engine::PdfSelection &marked = pageView()->markedPassage();
        return marked.string() == word.string() && !marked.ranges(2).empty() && pageView()->currentPageIndex() == 2;
    };
    const size_t before = model.backLocations().size();
    pane->controller()->openNoteSource(note);
    EXPECT_TRUE(waitFor(marksTheWord));
    EXPECT_EQ(model.backLocations().size(), before + 1);
    ASSERT_TRUE(model.markedPassage());

    ASSERT_TRUE(openAndWait(*pane, other));
    ASSERT_TRUE(waitFor([&] { return pageViewShows(other); }));
    EXPECT_TRUE(pageView()->markedPassage().isEmpty());
    pane->controller()->openNoteSource(note);
    ASSERT_TRUE(waitFor([&] { return pageViewShows(quoted); }));
    EXPECT_TRUE(waitFor(marksTheWord));
}

// While the notes library cannot be read, a paper has no lasting record:
// its reflow corrections are named after none, and the view says so.
TEST_F(PapersTest, TheReflowViewNamesNoCorrectionsFileWhileTheNotesLibraryCannotBeRead)
{
    const QString shown = paper(QStringLiteral("shown.pdf"), 2);
    const auto reflowStore = [](ContentView &pane) -> reflow::ReflowOverridesStore * {
        auto *view = qobject_cast<reflow::ReflowView *>(pane.paneLayout()->readingArea()->reflowView());
        return view ? view->coordinator()->overrides() : nullptr;
    };
    ASSERT_TRUE(folvan::test::writeTestFile(notes::PaperNotesStore::defaultFilePath(), "{\"version\":1,\"pap"));
    auto pane = makePane();
    ASSERT_TRUE(openAndWait(*pane, shown));
    ASSERT_TRUE(notes::PaperNotesStore::shared().hasError());
    pane->controller()->toggleReflow();
    ASSERT_TRUE(waitFor([&] { return reflowStore(*pane) != nullptr; }));
    EXPECT_TRUE(reflowStore(*pane)->file().isEmpty());
    EXPECT_FALSE(reflowStore(*pane)->error().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(platform::folvanDataPath(QStringLiteral("Reflow"))));
}

} // namespace folvan::window::test
