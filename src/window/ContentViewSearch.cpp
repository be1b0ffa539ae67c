// The pane's text search: debounced, run on the shared search queue over a
// private copy of the document, delivered on the main thread when it still
// answers the question on screen.

#include "window/ContentView.h"

#include "engine/PdfDocument.h"
#include "engine/PdfSearch.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Queues.h"

namespace folvan::window {

platform::SerialQueue &ContentView::readingSearchQueue()
{
    static platform::SerialQueue *queue = new platform::SerialQueue(QStringLiteral("Folvan.text-search"));
    return *queue;
}

SearchMatches ContentView::searchSegments(const std::shared_ptr<engine::PdfDocument> &document, const QString &query)
{
    SearchMatches matches;
    if (!document)
        return matches;
    for (const engine::PdfSelection &match : engine::findAll(document, query, {.caseInsensitive = true})) {
        std::vector<SearchSegment> segments;
        for (const engine::PdfPage &page : match.pages()) {
            for (const engine::PdfTextRange &range : match.ranges(page))
                segments.push_back({page.index(), range});
        }
        matches.push_back(std::move(segments));
    }
    return matches;
}

void ContentView::cancelSearchWork()
{
    m_searchWork->cancel();
}

// An open that failed (or a daily paper that found nothing) leaves the
// paper that was shown; a search it cancelled before it started is asked
// again of that paper.
void ContentView::resumeInterruptedSearch()
{
    if (!m_searchInterruptedByOpen)
        return;
    m_searchInterruptedByOpen = false;
    searchTextDidChange();
}

void ContentView::findInPDF()
{
    if (!m_viewModel->pdfDocument())
        return;
    m_viewModel->captureNativeReading();
    m_viewModel->setShowSearch(true);
    platform::runOnMain(this, [this] { setSearchFocused(true); });
}

void ContentView::stepSearch(bool forward)
{
    // In the reflow view, the results it shows inside images are passed over.
    const int target = m_viewModel->searchStepTarget(forward);
    if (target < 0)
        return;
    m_viewModel->setCurrentSearchIndex(target);
    m_viewModel->showCurrentSearchResult(false);
}

void ContentView::closeSearch()
{
    cancelSearchWork();
    setSearchRunning(false);
    m_viewModel->captureNativeReading();
    setSearchFocused(false);
    m_viewModel->setShowSearch(false);
    m_viewModel->setSearchText(QString());
    m_viewModel->setSearchResults({});
    m_viewModel->rebuildSearchRects();
}

void ContentView::searchTextDidChange()
{
    cancelSearchWork();
    setSearchRunning(false);
    SharedPDFViewModel &model = *m_viewModel;
    model.setSearchResults({});
    model.setCurrentSearchIndex(0);
    model.rebuildSearchRects();

    const QString query = model.searchText();
    if (query.trimmed().isEmpty())
        return;
    const std::shared_ptr<engine::PdfDocument> document = model.pdfDocument();
    if (!document)
        return;
    setSearchRunning(true);

    const QString path = model.pdfDocumentURL().isEmpty() ? QString() : model.pdfDocumentURL().toLocalFile();
    // A document held only in memory is searched through its bytes.
    const QByteArray data = path.isEmpty() ? document->data() : QByteArray();
    const QPointer<ContentView> pane(this);
    // Held weakly: a search does not keep a paper alive that the pane let go.
    const std::weak_ptr<engine::PdfDocument> searched = document;
    m_searchWork->schedule(kSearchDelaySeconds, [pane, path, data, query, searched] {
        readingSearchQueue().async([pane, path, data, query, searched] {
            std::shared_ptr<engine::PdfDocument> copy;
            if (!path.isEmpty())
                copy = engine::PdfDocument::open(path);
            if (!copy && !data.isEmpty())
                copy = engine::PdfDocument::openData(data);
            SearchMatches matches = searchSegments(copy, query);
            platform::runOnMain([pane, searched, query, matches = std::move(matches)] {
                if (pane)
                    pane->deliverSearch(searched.lock(), query, matches);
            });
        });
    });
}

void ContentView::deliverSearch(const std::shared_ptr<engine::PdfDocument> &document, const QString &query,
                                const SearchMatches &matches)
{
    SharedPDFViewModel &model = *m_viewModel;
    const bool sameQuery = model.searchText().normalized(QString::NormalizationForm_D)
        == query.normalized(QString::NormalizationForm_D);
    if (!sameQuery || !model.showSearch())
        return;
    if (!model.pdfDocument() || model.pdfDocument() != document) {
        // The pane shows another document object now: the same query is
        // asked again of it, so that the bar does not wait for ever.
        searchTextDidChange();
        return;
    }

    SelectionList selections;
    for (const std::vector<SearchSegment> &segments : matches) {
        engine::PdfSelection selection(document);
        for (const SearchSegment &segment : segments) {
            const engine::PdfPage page = document->page(segment.page);
            if (!page.isValid())
                continue;
            const engine::PdfSelection piece = page.selection(segment.range);
            if (!piece.isEmpty())
                selection.add(piece);
        }
        if (!selection.isEmpty())
            selections.push_back(std::move(selection));
    }
    setSearchRunning(false);
    model.setSearchResults(std::move(selections));
    model.setCurrentSearchIndex(0);
    model.showCurrentSearchResult(true);
}

} // namespace folvan::window
