// Opening a paper in the pane and keeping its reading state in the history.

#include "pane/PaneController.h"

#include "engine/PdfDocument.h"
#include "history/ReadingHistory.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/DataFolderAccess.h"
#include "platform/FileIdentity.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "pane/PanePaths.h"

#include <QFileInfo>

#include <algorithm>

namespace folvan::pane {

void PaneController::loadPDF(const QUrl &url, std::optional<int> preferredPage, std::optional<model::ReadingTextSource> source)
{
    paperNotes().flush();
    saveReading(true);
    history().flush();
    if (m_searchWork->isPending()) {
        cancelSearchWork();
        m_searchInterruptedByOpen = true;
    }
    m_openGeneration = QUuid::createUuid();

    PendingDocumentLoad load;
    load.generation = m_openGeneration;
    load.url = url;
    load.preferredPage = preferredPage;
    load.source = std::move(source);

    platform::runConcurrently([pane = QPointer<PaneController>(this), load = std::move(load)]() mutable {
        if (load.url.isLocalFile())
            load.document = engine::PdfDocument::open(load.url.toLocalFile(), &load.error);
        if (load.document)
            load.firstIdentifier = load.document->firstIdentifier();
        // A pane that is gone by then drops the result.
        platform::runOnMain([pane, load = std::move(load)]() mutable {
            if (pane)
                pane->applyLoadedDocument(std::move(load));
        });
    });
}

void PaneController::applyLoadedDocument(PendingDocumentLoad load)
{
    if (load.generation != m_openGeneration)
        return;
    const std::shared_ptr<engine::PdfDocument> document = load.document;
    const int pageCount = document ? document->pageCount() : 0;
    if (pageCount <= 0) {
        showAlertMessage(load.error == engine::PdfDocument::passwordProtectedReason ? kPasswordProtectedPDF
                                                                                     : kUnreadablePDF);
        resumeInterruptedSearch();
        return;
    }
    m_searchInterruptedByOpen = false;

    saveReading(true);
    // Whose marks, place and notes lie under the paper's name is settled
    // before any of them is read. Where it cannot be, they are read where
    // they lie, and none is written under the name until it is.
    const PaperOpening paper = paperAccount().opening(load.url.toLocalFile(), load.firstIdentifier);
    const bool defaultToBook = m_pane == ReaderPane::primary ? defaultBook() : false;
    load.knownInHistory = isKnownInHistory(load.url);
    if (paper.settled) {
        load.state = history().state(load.url.toLocalFile(), pageCount, defaultToBook);
    } else {
        load.state = history().state(paper.readingFrom, pageCount, defaultToBook);
        if (paper.page)
            load.state.page = *paper.page;
    }
    history::DocumentReadingState normalized = load.state.normalized(pageCount);
    const int page = load.preferredPage ? std::clamp(*load.preferredPage, 0, pageCount - 1) : int(normalized.page);

    model::SharedPDFViewModel &model = *m_viewModel;
    model.documentOpening(document);
    annotations::PaneAnnotations &paneAnnotations = *m_annotations;
    m_firstIdentifier = load.firstIdentifier;
    m_heldPaper.reset();
    model.holdSideFiles(std::nullopt);
    if (!paper.settled)
        holdPaper({load.firstIdentifier, paper.id, paper.annotationsFrom, paper.bookmarksFrom, paper.readingFrom});
    const auto readFrom = [&paper](const QString &file) {
        return paper.settled ? std::nullopt : std::optional<QString>(file);
    };
    paneAnnotations.loadMarkups(load.url, document, page, readFrom(paper.annotationsFrom));
    model.loadBookmarks(load.url, document, readFrom(paper.bookmarksFrom));
    // What went wrong with the paper's stored markings is said at once, not
    // only in the views that show them once opened (of markups still being
    // read, once they are in place).
    const bool markupsKnown = paneAnnotations.markupError() && !paneAnnotations.markupsLoading();
    if (const std::optional<QString> problem = markupsKnown ? paneAnnotations.markupError() : model.navigationError())
        platform::runOnMain(this, [this, text = *problem] { showAlertMessage(text); });

    model::OpenedDocument opened;
    opened.document = document;
    opened.url = load.url;
    opened.page = page;
    if (!load.preferredPage) {
        opened.reflowBlock = int(normalized.reflowBlock.value_or(0));
        opened.reflowOffset = int(normalized.reflowOffset.value_or(0));
    }
    opened.fitWidth = m_pane == ReaderPane::reference && !load.knownInHistory;
    opened.reflowPage = !load.preferredPage && normalized.isReflow.value_or(false) ? int(normalized.page) : -1;
    model.documentOpened(std::move(opened));

    // The views a mode brings are made on the paper in place.
    setScaleFactor(normalized.zoom);
    setRotationAngle(normalized.angle);
    setFlipBookMode(normalized.isBook);
    setPageLayout(normalized.layout);
    setReflowMode(normalized.isReflow.value_or(false));

    if (load.source)
        model.navigate(paneAnnotations.location(*load.source), false);
    setCurrentPaperID(paper.id);
    setFileName(load.url.fileName());
    setIsEditing(false);

    normalized.page = page;
    if (paper.settled)
        history().opened(load.url.toLocalFile(), normalized);
}

PaperAccount PaneController::paperAccount() const
{
    return PaperAccount(paperNotes(), history(), platform::Preferences::shared(), m_viewModel->annotationDirectory());
}

void PaneController::holdPaper(HeldPaper held)
{
    m_heldPaper = std::move(held);
    // A read-only reader says so in its bar, for every store.
    m_viewModel->holdSideFiles(
        platform::DataFolderAccess::shared().readOnly()
            ? platform::DataFolderAccess::heldBackText()
            : QStringLiteral("数据文件夹无法写入，尚不能确认这个文件名下的批注和书签属于这篇论文；改动暂存在内存中。"));
}

bool PaneController::settleHeldPaper()
{
    if (!m_heldPaper)
        return true;
    const QUrl url = m_viewModel->pdfDocumentURL();
    if (url.isEmpty()) {
        m_heldPaper.reset();
        return true;
    }
    const PaperOpening paper = paperAccount().opening(url.toLocalFile(), m_heldPaper->firstIdentifier, m_heldPaper->id);
    if (!paper.settled)
        return false;
    // Its files lie under its name now: what changed here is merged into
    // them at the next save.
    m_annotations->sideFilesSettled(m_heldPaper->annotationsFrom);
    m_viewModel->sideFilesSettled(m_heldPaper->bookmarksFrom);
    m_viewModel->holdSideFiles(std::nullopt);
    // Another reader may have made the paper's record meanwhile: what was
    // noted under the one it was shown with follows that record.
    paperNotes().joinPaper(m_heldPaper->id, paper.id);
    m_heldPaper.reset();
    setCurrentPaperID(paper.id);
    history().opened(url.toLocalFile(), documentState());
    return true;
}

bool PaneController::isKnownInHistory(const QUrl &url) const
{
    const QString target = standardizedFilePath(url);
    if (target.isEmpty())
        return false;
    const history::ReadingHistory &records = history();
    return std::any_of(records.records().begin(), records.records().end(), [&](const history::RecentReading &record) {
        const QString located = records.resolve(record);
        return !located.isEmpty() && standardizedFilePath(QUrl::fromLocalFile(located)) == target;
    });
}

history::DocumentReadingState PaneController::documentState() const
{
    history::DocumentReadingState state;
    state.page = m_viewModel->currentPageIndex();
    state.zoom = m_scaleFactor;
    state.angle = m_rotationAngle;
    state.isBook = m_flipBookMode;
    state.layout = m_pageLayout;
    state.isReflow = m_reflowMode;
    state.reflowBlock = m_reflowMode ? m_viewModel->reflowBlock() : 0;
    state.reflowOffset = m_reflowMode ? m_viewModel->reflowOffset() : 0;
    return state;
}

std::optional<history::DocumentReadingState> PaneController::readingToSave(bool captureNative) const
{
    const model::SharedPDFViewModel &model = *m_viewModel;
    const QUrl url = model.pdfDocumentURL();
    if (url.isEmpty() || !model.pdfDocument())
        return std::nullopt;
    if (m_isSplit && !m_isActive && sameFile(m_peerURL, url))
        return std::nullopt;

    // In reflow, the model holds the place the page last reported: the page
    // reports it as the view moves.
    history::DocumentReadingState state = documentState();
    if (captureNative && !m_reflowMode) {
        model::NativePDFViewInterface *native = model.nativePDFView();
        if (native && native->shownDocument() == model.pdfDocument()) {
            if (native->shownPageIndex() >= 0)
                state.page = native->shownPageIndex();
            state.zoom = native->shownScaleFactor();
        }
    }
    if (model.jumpToPage())
        state.page = *model.jumpToPage();
    return state;
}

void PaneController::saveReading(bool captureNative)
{
    // The history record under a name not yet settled may be another
    // paper's: the place goes to the paper's own, where it has one.
    const QString path = m_heldPaper ? m_heldPaper->readingFrom : m_viewModel->pdfDocumentURL().toLocalFile();
    if (path.isEmpty())
        return;
    if (const std::optional<history::DocumentReadingState> state = readingToSave(captureNative))
        history().update(path, *state);
}

void PaneController::saveAndFlush()
{
    saveReading(true);
    m_viewModel->retryUnsavedSideFiles();
    history().flush();
    paperNotes().flush();
}

} // namespace folvan::pane
