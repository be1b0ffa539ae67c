#include "model/SharedPDFViewModel.h"

#include "engine/PdfDocument.h"
#include "platform/Desktop.h"
#include "platform/DocumentHash.h"
#include "platform/NotificationCenter.h"
#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"

#include <algorithm>

namespace folvan::model {

SharedPDFViewModel::SharedPDFViewModel(QObject *parent)
    : SharedPDFViewModel(PaneModelServices{}, parent)
{
}

SharedPDFViewModel::SharedPDFViewModel(PaneModelServices services, QObject *parent)
    : QObject(parent)
    , m_readingSessionID(QUuid::createUuid())
    , m_services(std::move(services))
{
    m_annotationDirectory = platform::folvanDataPath(QStringLiteral("Annotations"));

    QPointer<SharedPDFViewModel> self(this);
    m_sidecarObserver = platform::NotificationCenter::shared().observe<SidecarChanged>(
        this, [self](const SidecarChanged &change) {
            if (self)
                self->handleSidecarChange(change);
        });
    // A reader that was read-only saves what it holds once it may.
    connect(&platform::DataFolderAccess::shared(), &platform::DataFolderAccess::readOnlyChanged, this, [this] {
        if (!platform::DataFolderAccess::shared().readOnly())
            retryUnsavedSideFiles();
    });
}

SharedPDFViewModel::~SharedPDFViewModel()
{
    if (m_sidecarObserver)
        platform::NotificationCenter::shared().removeObserver(m_sidecarObserver);
    // The annotations go first, while the model they work on is whole.
    delete m_annotations.data();
}

QString SharedPDFViewModel::documentPath() const
{
    if (m_pdfDocumentURL.isEmpty())
        return {};
    return platform::standardizedPath(m_pdfDocumentURL.toLocalFile());
}

NativePDFViewInterface *SharedPDFViewModel::nativePDFView() const
{
    return qobject_cast<NativePDFViewInterface *>(m_nativePDFView.data());
}

template <typename T>
void SharedPDFViewModel::publish(T &field, T value, void (SharedPDFViewModel::*changed)())
{
    if (field == value)
        return;
    field = std::move(value);
    emit(this->*changed)();
}

template <typename T>
void SharedPDFViewModel::request(T &field, T value, void (SharedPDFViewModel::*changed)())
{
    field = std::move(value);
    emit(this->*changed)();
}

void SharedPDFViewModel::setPdfDocument(PdfDocumentPtr value)
{
    if (value != m_pdfDocument)
        m_markedPassage.reset();
    publish(m_pdfDocument, std::move(value), &SharedPDFViewModel::pdfDocumentChanged);
}
void SharedPDFViewModel::setPdfDocumentURL(QUrl value) { publish(m_pdfDocumentURL, std::move(value), &SharedPDFViewModel::pdfDocumentURLChanged); }
void SharedPDFViewModel::setBookTurnRequest(std::optional<BookTurnRequest> value) { request(m_bookTurnRequest, std::move(value), &SharedPDFViewModel::bookTurnRequestChanged); }
void SharedPDFViewModel::setBookCanForward(bool value) { publish(m_bookCanForward, value, &SharedPDFViewModel::bookCanForwardChanged); }
void SharedPDFViewModel::setBookCanBackward(bool value) { publish(m_bookCanBackward, value, &SharedPDFViewModel::bookCanBackwardChanged); }
void SharedPDFViewModel::setBookError(std::optional<QString> value) { publish(m_bookError, std::move(value), &SharedPDFViewModel::bookErrorChanged); }
void SharedPDFViewModel::setBookLayout(platform::BookLayout value) { publish(m_bookLayout, value, &SharedPDFViewModel::bookLayoutChanged); }
void SharedPDFViewModel::setTextSelectionMode(bool value) { publish(m_textSelectionMode, value, &SharedPDFViewModel::textSelectionModeChanged); }
void SharedPDFViewModel::setSelectionText(QString value) { publish(m_selectionText, std::move(value), &SharedPDFViewModel::selectionTextChanged); }
void SharedPDFViewModel::setBookTextMode(bool value) { publish(m_bookTextMode, value, &SharedPDFViewModel::bookTextModeChanged); }
void SharedPDFViewModel::setReadingOverlayRevision(int value) { publish(m_readingOverlayRevision, value, &SharedPDFViewModel::readingOverlayRevisionChanged); }
void SharedPDFViewModel::setBookmarks(BookmarkList value) { publish(m_bookmarks, std::move(value), &SharedPDFViewModel::bookmarksChanged); }
void SharedPDFViewModel::setBackLocations(LocationList value) { publish(m_backLocations, std::move(value), &SharedPDFViewModel::backLocationsChanged); }
void SharedPDFViewModel::setForwardLocations(LocationList value) { publish(m_forwardLocations, std::move(value), &SharedPDFViewModel::forwardLocationsChanged); }
void SharedPDFViewModel::setNavigationError(std::optional<QString> value) { publish(m_navigationError, std::move(value), &SharedPDFViewModel::navigationErrorChanged); }
void SharedPDFViewModel::setCurrentPageIndex(int value) { publish(m_currentPageIndex, value, &SharedPDFViewModel::currentPageIndexChanged); }
void SharedPDFViewModel::setReflowAppearance(std::optional<QVariantMap> value) { publish(m_reflowAppearance, std::move(value), &SharedPDFViewModel::reflowAppearanceChanged); }
void SharedPDFViewModel::setReflowSources(TextSourceList value) { publish(m_reflowSources, std::move(value), &SharedPDFViewModel::reflowSourcesChanged); }
void SharedPDFViewModel::setReflowBlock(int value) { publish(m_reflowBlock, value, &SharedPDFViewModel::reflowBlockChanged); }
void SharedPDFViewModel::setReflowOffset(int value) { publish(m_reflowOffset, value, &SharedPDFViewModel::reflowOffsetChanged); }
void SharedPDFViewModel::setPageCount(int value) { publish(m_pageCount, value, &SharedPDFViewModel::pageCountChanged); }
void SharedPDFViewModel::setJumpToPage(std::optional<int> value) { request(m_jumpToPage, value, &SharedPDFViewModel::jumpToPageChanged); }
void SharedPDFViewModel::setShowSearch(bool value) { publish(m_showSearch, value, &SharedPDFViewModel::showSearchChanged); }
void SharedPDFViewModel::setSearchText(QString value) { publish(m_searchText, std::move(value), &SharedPDFViewModel::searchTextChanged); }
void SharedPDFViewModel::setSearchResults(SelectionList value)
{
    // What the reflow view found in images was about the results replaced.
    if (!m_searchResultsInImages.isEmpty()) {
        m_searchResultsInImages.clear();
        emit searchResultsInImagesChanged();
    }
    publish(m_searchResults, std::move(value), &SharedPDFViewModel::searchResultsChanged);
}
void SharedPDFViewModel::setCurrentSearchIndex(int value) { publish(m_currentSearchIndex, value, &SharedPDFViewModel::currentSearchIndexChanged); }

void SharedPDFViewModel::notifySidecarChanged(SidecarKind kind)
{
    if (m_pdfDocumentURL.isEmpty())
        return;
    platform::NotificationCenter::shared().post(
        SidecarChanged{m_readingSessionID, documentPath(), platform::standardizedPath(m_annotationDirectory), kind});
}

void SharedPDFViewModel::handleSidecarChange(const SidecarChanged &change)
{
    // A post of this very pane: its own file is already in memory.
    if (change.session == m_readingSessionID)
        return;
    // The same document (both without a document, or the same standardized
    // path) and the same side-file folder.
    if (change.path != documentPath() || change.directory != platform::standardizedPath(m_annotationDirectory))
        return;

    switch (change.kind) {
    case SidecarKind::Annotations:
        if (m_annotations)
            m_annotations->reloadSharedAnnotations();
        break;
    case SidecarKind::Bookmarks:
        reloadSharedBookmarks();
        break;
    }
}

void SharedPDFViewModel::captureNativeReading()
{
    NativePDFViewInterface *view = nativePDFView();
    if (!view)
        return;
    // The view may still show an earlier document.
    if (view->shownDocument() != m_pdfDocument)
        return;
    m_retainedDestination = view->currentDestination();
    QString text;
    if (std::optional<engine::PdfSelection> selection = view->currentSelection()) {
        text = selection->string();
        m_retainedSelection = std::move(selection);
    } else {
        m_retainedSelection.reset();
    }
    setSelectionText(text);
}

void SharedPDFViewModel::pageSelectionChanged(std::optional<engine::PdfSelection> selection)
{
    const QString text = selection ? selection->string() : QString();
    m_retainedSelection = std::move(selection);
    setSelectionText(text);
}

void SharedPDFViewModel::documentOpening(PdfDocumentPtr document)
{
    setPdfDocumentURL(QUrl());
    documentLoading(std::move(document));
}

void SharedPDFViewModel::documentLoading(PdfDocumentPtr document)
{
    setPdfDocument(std::move(document));
}

void SharedPDFViewModel::documentOpened(OpenedDocument opened)
{
    setBookTurnRequest(std::nullopt);
    setBookError(std::nullopt);
    setPageCount(opened.document ? opened.document->pageCount() : 0);
    setCurrentPageIndex(opened.page);
    setReflowBlock(opened.reflowBlock);
    setReflowOffset(opened.reflowOffset);
    m_fitNativeOnMount = opened.fitWidth;
    m_reflowPage = opened.reflowPage;
    searchCleared();
    setJumpToPage(opened.page);
    setPdfDocument(std::move(opened.document));
    setPdfDocumentURL(std::move(opened.url));
    emit pageViewRebuildRequested();
}

void SharedPDFViewModel::firstShowFitted()
{
    m_fitNativeOnMount = false;
}

void SharedPDFViewModel::documentClosed()
{
    resetNavigation();
    setPageCount(0);
    setCurrentPageIndex(0);
    setBookError(std::nullopt);
    m_retainedSelection.reset();
    m_retainedDestination.reset();
    setSelectionText(QString());
    setTextSelectionMode(false);
    setPdfDocument(nullptr);
    setPdfDocumentURL(QUrl());
    searchCleared();
}

void SharedPDFViewModel::documentMoved(QUrl url)
{
    setPdfDocumentURL(std::move(url));
    emit pageViewRebuildRequested();
}

void SharedPDFViewModel::documentFollowed(QUrl url)
{
    const bool fromLoadedFile = bookmarkURL(m_pdfDocumentURL) == m_bookmarkFileAtLoad;
    documentMoved(std::move(url));
    if (fromLoadedFile) {
        m_bookmarkFileAtLoad = bookmarkURL(m_pdfDocumentURL);
        m_bookmarkFileVersion = {};
    }
}

void SharedPDFViewModel::copySelection()
{
    if (m_selectionText.isEmpty())
        return;
    platform::setClipboardText(m_selectionText);
}

void SharedPDFViewModel::documentFileReplaced(PdfDocumentPtr document)
{
    if (!document || m_pdfDocumentURL.isEmpty())
        return;
    const int count = document->pageCount();
    const int last = std::max(count - 1, 0);
    setPageCount(count);
    if (m_currentPageIndex > last)
        setCurrentPageIndex(last);
    if (m_jumpToPage && *m_jumpToPage > last)
        setJumpToPage(last);
    const auto beyondLastPage = [count](const std::optional<engine::PdfDestination> &destination) {
        return destination && destination->pageIndex >= count;
    };
    if (beyondLastPage(m_pendingDestination))
        m_pendingDestination.reset();
    if (beyondLastPage(m_retainedDestination))
        m_retainedDestination.reset();
    m_retainedSelection.reset();
    setSelectionText(QString());
    if (!m_searchResults.empty()) {
        setSearchResults({});
        setCurrentSearchIndex(0);
        rebuildSearchRects();
    }
    setPdfDocument(std::move(document));
    emit pageViewRebuildRequested();
    emit documentFileWasReplaced();
}

void SharedPDFViewModel::setAnnotations(PaneAnnotationsInterface *annotations)
{
    if (annotations == m_annotations)
        return;
    delete m_annotations.data();
    m_annotations = annotations;
    if (annotations)
        annotations->setParent(this);
}

void SharedPDFViewModel::annotationsLoadStarted()
{
    m_retainedSelection.reset();
    m_retainedDestination.reset();
    setSelectionText(QString());
    setTextSelectionMode(false);
}

void SharedPDFViewModel::reflowSelectionTaken(TextSourceList sources, std::optional<engine::PdfSelection> selection)
{
    QStringList quotes;
    for (const ReadingTextSource &source : sources)
        quotes << source.quote;
    setReflowSources(std::move(sources));
    setSelectionText(quotes.join(u'\n'));
    m_retainedSelection = std::move(selection);
}

void SharedPDFViewModel::reflowSelectionPlaced(std::optional<engine::PdfDestination> destination)
{
    m_retainedDestination = std::move(destination);
}

} // namespace folvan::model
