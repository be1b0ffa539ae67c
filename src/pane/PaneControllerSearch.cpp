// The pane's text search: debounced, run on the shared search queue over
// the pane's own document, its matches handed to the main thread in
// batches while it goes on, each batch taken only while it still answers
// the question on screen.

#include "pane/PaneController.h"

#include "engine/PdfDocument.h"
#include "engine/PdfSearch.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Queues.h"

#include <QElapsedTimer>

namespace folvan::pane {

platform::SerialQueue &PaneController::readingSearchQueue()
{
    static platform::SerialQueue *queue = new platform::SerialQueue(QStringLiteral("Folvan.text-search"));
    return *queue;
}

void PaneController::cancelSearchWork()
{
    m_searchWork->cancel();
    if (m_searchStop) {
        m_searchStop->store(true);
        m_searchStop.reset();
    }
}

// An open that failed (or a daily paper that found nothing) leaves the
// paper that was shown; a search it cancelled before it started is asked
// again of that paper.
void PaneController::resumeInterruptedSearch()
{
    if (!m_searchInterruptedByOpen)
        return;
    m_searchInterruptedByOpen = false;
    searchTextDidChange();
}

void PaneController::searchTextEdited(const QString &text)
{
    m_viewModel->searchTextEntered(text);
}

void PaneController::findInPDF()
{
    if (!m_viewModel->pdfDocument())
        return;
    m_viewModel->searchOpened();
    platform::runOnMain(this, [this] { setSearchFocused(true); });
}

void PaneController::stepSearch(bool forward)
{
    // In the reflow view, the results it shows inside images are passed over.
    const int target = m_viewModel->searchStepTarget(forward);
    if (target < 0)
        return;
    m_viewModel->searchResultChosen(target);
}

void PaneController::closeSearch()
{
    cancelSearchWork();
    setSearchRunning(false);
    m_viewModel->captureNativeReading();
    setSearchFocused(false);
    m_viewModel->searchCleared();
}

void PaneController::searchTextDidChange()
{
    cancelSearchWork();
    setSearchRunning(false);
    model::SharedPDFViewModel &model = *m_viewModel;
    model.searchRestarted();

    const QString query = model.searchText();
    if (query.trimmed().isEmpty())
        return;
    const std::shared_ptr<engine::PdfDocument> document = model.pdfDocument();
    if (!document)
        return;
    setSearchRunning(true);

    const QPointer<PaneController> pane(this);
    // Held weakly: a search does not keep a paper alive that the pane let go.
    const std::weak_ptr<engine::PdfDocument> searched = document;
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_searchStop = stop;
    m_searchWork->schedule(kSearchDelaySeconds, [pane, query, searched, stop] {
        readingSearchQueue().async([pane, query, searched, stop] { runSearch(pane, searched, query, stop); });
    });
}

void PaneController::runSearch(QPointer<PaneController> pane, std::weak_ptr<engine::PdfDocument> searched, QString query,
                            std::shared_ptr<std::atomic_bool> stop)
{
    // The first matches go at once, the next ones together every so often,
    // so that the main thread takes them in few steps.
    constexpr qint64 kBatchMilliseconds = 50;
    model::SearchBatch batch;
    bool sentAny = false;
    QElapsedTimer sinceSent;
    auto send = [&](bool last) {
        platform::runOnMain([pane, searched, query, stop, batch = std::move(batch), last]() mutable {
            if (pane)
                pane->deliverSearch(stop, searched, query, std::move(batch), last);
        });
        batch = model::SearchBatch();
        sentAny = true;
        sinceSent.start();
    };
    if (stop->load())
        return;
    // The document is held while it is searched: closing the paper stops
    // the search before its next page, and the document goes after that.
    if (const std::shared_ptr<engine::PdfDocument> document = searched.lock()) {
        const bool finished = engine::searchPages(
            document, query, {.caseInsensitive = true}, stop.get(), [&](engine::PdfPageMatches &&found) {
                const engine::PdfPage page = document->page(found.page);
                for (size_t i = 0; i < found.ranges.size(); ++i) {
                    batch.matches.emplace_back(page, found.ranges[i]);
                    for (const QRectF &bounds : found.lineBounds[i])
                        batch.lineBounds.emplace_back(found.page, bounds);
                }
                if (!sentAny || sinceSent.elapsed() >= kBatchMilliseconds)
                    send(false);
            });
        if (!finished)
            return;
    }
    send(true);
}

void PaneController::deliverSearch(const std::shared_ptr<std::atomic_bool> &stop,
                                const std::weak_ptr<engine::PdfDocument> &searched, const QString &query,
                                model::SearchBatch batch, bool last)
{
    // A search stopped since is over, whatever it found meanwhile.
    if (stop != m_searchStop || stop->load())
        return;
    model::SharedPDFViewModel &model = *m_viewModel;
    const bool sameQuery = model.searchText().normalized(QString::NormalizationForm_D)
        == query.normalized(QString::NormalizationForm_D);
    if (!sameQuery || !model.showSearch())
        return;
    const std::shared_ptr<engine::PdfDocument> document = searched.lock();
    if (!model.pdfDocument() || model.pdfDocument() != document) {
        // The pane shows another document object now: the same query is
        // asked again of it, so that the bar does not wait for ever.
        searchTextDidChange();
        return;
    }

    const bool first = model.searchResults().empty();
    if (!batch.matches.empty()) {
        model.searchFoundMatches(std::move(batch));
        if (first)
            model.searchResultChosen(0);
    }
    if (last) {
        m_searchStop.reset();
        setSearchRunning(false);
    }
}

} // namespace folvan::pane
