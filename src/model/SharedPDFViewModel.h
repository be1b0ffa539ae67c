#pragma once

// The model of one reading pane: the open document and its file, the current
// page and pending jumps, back/forward history, bookmarks, search state, the
// text selection and the state shared with the book and reflow views. Views
// observe it through its ...Changed signals and
// carry out the one-shot requests it holds (jumpToPage, pendingDestination,
// pendingTextSource, bookTurnRequest).
//
// A published property notifies when its value changes, never for a write
// of the value it holds; the one-shot requests (jumpToPage, bookTurnRequest)
// notify on every write, so that a repeated request is never lost.
// Everything runs on the main thread.
//
// The class is one QObject whose operations are spread over one source file
// per concern:
//   SharedPDFViewModel.cpp            state, construction, side-file notification,
//                                     capture of the page view, copy
//   SharedPDFViewModelNavigation.cpp  reading positions, back/forward
//   SharedPDFViewModelBookmarks.cpp   bookmarks and the bookmark file
//   SharedPDFViewModelBook.cpp        book-view selection, links, overlay rows
//   SharedPDFViewModelSearch.cpp      search-mark rows
//
// The pane's annotations (markups, their list, colour, undo stack, file and
// exports) are not kept here: they are one object of the annotation layer
// (annotations::PaneAnnotations) that the pane makes and hands over with
// setAnnotations(). The model reaches it only through
// PaneAnnotationsInterface; views reach it from annotations().

#include "engine/PdfDestination.h"
#include "engine/PdfSelection.h"
#include "model/BookTurnRequest.h"
#include "model/NativePDFViewInterface.h"
#include "model/PaneAnnotationsInterface.h"
#include "model/PaneModelServices.h"
#include "model/ReadingBookmark.h"
#include "model/ReadingLocation.h"
#include "model/ReadingTextSource.h"
#include "platform/ReadingModes.h"
#include "platform/StoredFiles.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::model {

// Where a book-view selection gesture began: a page and a point on it (page
// space).
struct BookSelectionAnchor {
    int page = 0;
    QPointF point;
};

// Names for property types (moc reads types without commas best).
using PdfDocumentPtr = std::shared_ptr<engine::PdfDocument>;
using OptionalString = std::optional<QString>;
using OptionalInt = std::optional<int>;
using OptionalBookTurnRequest = std::optional<BookTurnRequest>;
using OptionalVariantMap = std::optional<QVariantMap>;
using BookmarkList = std::vector<ReadingBookmark>;
using LocationList = std::vector<ReadingLocation>;
using TextSourceList = std::vector<ReadingTextSource>;
using SelectionList = std::vector<engine::PdfSelection>;
using OptionalSelection = std::optional<engine::PdfSelection>;
// A book-view row: a link row of 5 numbers or an overlay row of 9.
using BookRow = std::vector<double>;
// Search marks per page index: rows of 8 numbers (x, y, width, height in
// page space, then red, green, blue, alpha).
using SearchRectMap = std::map<int, std::vector<std::vector<double>>>;
// Matches found by a search after those already known, in document order,
// with the bounds of their pieces line by line (page index, page space),
// in the same order.
struct SearchBatch {
    SelectionList matches;
    std::vector<std::pair<int, QRectF>> lineBounds;
};

// What opening a paper puts in place (documentOpened): the document and its
// file, the page to show (also the current page), where the reflow view
// stands in it, whether the page view fits the page width on its first
// show, and the page at which the reflow view opens (-1: none).
struct OpenedDocument {
    PdfDocumentPtr document;
    QUrl url;
    int page = 0;
    int reflowBlock = 0;
    int reflowOffset = 0;
    bool fitWidth = false;
    int reflowPage = -1;
};

// The side file of a document that was written.
enum class SidecarKind { Bookmarks, Annotations };

// Posted after a side file of a document was written, by the model that
// wrote it: its readingSessionID, the document's path and the side-file
// folder (both standardized), and which file.
struct SidecarChanged {
    QUuid session;
    QString path;
    QString directory;
    SidecarKind kind = SidecarKind::Bookmarks;
    static QString name() { return QStringLiteral("Folvan.readingSidecarChanged"); }
};

class SharedPDFViewModel : public QObject {
    Q_OBJECT

    Q_PROPERTY(folvan::model::PdfDocumentPtr pdfDocument READ pdfDocument NOTIFY pdfDocumentChanged)
    Q_PROPERTY(QUrl pdfDocumentURL READ pdfDocumentURL NOTIFY pdfDocumentURLChanged)
    Q_PROPERTY(folvan::model::OptionalBookTurnRequest bookTurnRequest READ bookTurnRequest NOTIFY bookTurnRequestChanged)
    Q_PROPERTY(bool bookCanForward READ bookCanForward NOTIFY bookCanForwardChanged)
    Q_PROPERTY(bool bookCanBackward READ bookCanBackward NOTIFY bookCanBackwardChanged)
    Q_PROPERTY(folvan::model::OptionalString bookError READ bookError NOTIFY bookErrorChanged)
    Q_PROPERTY(folvan::platform::BookLayout bookLayout READ bookLayout NOTIFY bookLayoutChanged)
    Q_PROPERTY(bool textSelectionMode READ textSelectionMode NOTIFY textSelectionModeChanged)
    Q_PROPERTY(QString selectionText READ selectionText NOTIFY selectionTextChanged)
    Q_PROPERTY(bool bookTextMode READ bookTextMode NOTIFY bookTextModeChanged)
    Q_PROPERTY(int readingOverlayRevision READ readingOverlayRevision NOTIFY readingOverlayRevisionChanged)
    Q_PROPERTY(folvan::model::BookmarkList bookmarks READ bookmarks NOTIFY bookmarksChanged)
    Q_PROPERTY(folvan::model::LocationList backLocations READ backLocations NOTIFY backLocationsChanged)
    Q_PROPERTY(folvan::model::LocationList forwardLocations READ forwardLocations NOTIFY forwardLocationsChanged)
    Q_PROPERTY(folvan::model::OptionalString navigationError READ navigationError NOTIFY navigationErrorChanged)
    Q_PROPERTY(int currentPageIndex READ currentPageIndex NOTIFY currentPageIndexChanged)
    Q_PROPERTY(folvan::model::OptionalVariantMap reflowAppearance READ reflowAppearance NOTIFY reflowAppearanceChanged)
    Q_PROPERTY(folvan::model::TextSourceList reflowSources READ reflowSources NOTIFY reflowSourcesChanged)
    Q_PROPERTY(int reflowBlock READ reflowBlock NOTIFY reflowBlockChanged)
    Q_PROPERTY(int reflowOffset READ reflowOffset NOTIFY reflowOffsetChanged)
    Q_PROPERTY(int pageCount READ pageCount NOTIFY pageCountChanged)
    Q_PROPERTY(folvan::model::OptionalInt jumpToPage READ jumpToPage NOTIFY jumpToPageChanged)
    Q_PROPERTY(bool showSearch READ showSearch NOTIFY showSearchChanged)
    Q_PROPERTY(QString searchText READ searchText NOTIFY searchTextChanged)
    Q_PROPERTY(folvan::model::SelectionList searchResults READ searchResults NOTIFY searchResultsChanged)
    Q_PROPERTY(int currentSearchIndex READ currentSearchIndex NOTIFY currentSearchIndexChanged)
    Q_PROPERTY(folvan::model::OptionalSelection markedPassage READ markedPassage NOTIFY markedPassageChanged)
    Q_PROPERTY(QList<int> searchResultsInImages READ searchResultsInImages NOTIFY searchResultsInImagesChanged)

public:
    explicit SharedPDFViewModel(QObject *parent = nullptr);
    // A model with what its pane takes from the application.
    explicit SharedPDFViewModel(PaneModelServices services, QObject *parent = nullptr);
    ~SharedPDFViewModel() override;


    // ---- Identity and side-file folder -------------------------------------

    // Identifies this model (and so its pane) in every notification it posts.
    QUuid readingSessionID() const { return m_readingSessionID; }
    // Folder of both per-document side files (Folvan/Annotations in the data
    // folder); computed once, not created here. Empty when the platform has
    // no data folder, in which case every save fails with its error text.
    QString annotationDirectory() const { return m_annotationDirectory; }
    // The standardized path of pdfDocumentURL; empty when there is none.
    QString documentPath() const;
    // What the pane takes from the application (given at construction).
    const PaneModelServices &services() const { return m_services; }

    // ---- Published state ----------------------------------------------------

    const PdfDocumentPtr &pdfDocument() const { return m_pdfDocument; }
    // The document's file URL; empty for none.
    const QUrl &pdfDocumentURL() const { return m_pdfDocumentURL; }

    const std::optional<BookTurnRequest> &bookTurnRequest() const { return m_bookTurnRequest; }
    bool bookCanForward() const { return m_bookCanForward; }
    bool bookCanBackward() const { return m_bookCanBackward; }
    const std::optional<QString> &bookError() const { return m_bookError; }
    platform::BookLayout bookLayout() const { return m_bookLayout; }

    bool textSelectionMode() const { return m_textSelectionMode; }
    const QString &selectionText() const { return m_selectionText; }
    bool bookTextMode() const { return m_bookTextMode; }
    // Raised whenever the book view's overlays must be recomputed.
    int readingOverlayRevision() const { return m_readingOverlayRevision; }

    const BookmarkList &bookmarks() const { return m_bookmarks; }
    // The back stack: its last element is the most recent position.
    const LocationList &backLocations() const { return m_backLocations; }
    // The forward stack: its last element is the next position forward.
    const LocationList &forwardLocations() const { return m_forwardLocations; }
    // The last error of the bookmark file.
    const std::optional<QString> &navigationError() const { return m_navigationError; }

    int currentPageIndex() const { return m_currentPageIndex; }
    // The reflow typography in force (seven entries); none until set.
    const std::optional<QVariantMap> &reflowAppearance() const { return m_reflowAppearance; }
    // The passages selected in the reflow view.
    const TextSourceList &reflowSources() const { return m_reflowSources; }
    int reflowBlock() const { return m_reflowBlock; }
    int reflowOffset() const { return m_reflowOffset; }
    int pageCount() const { return m_pageCount; }

    // A request to show a page; notifies on every write so that a repeated
    // jump is never lost. The view that carries it out clears it.
    const std::optional<int> &jumpToPage() const { return m_jumpToPage; }

    bool showSearch() const { return m_showSearch; }
    const QString &searchText() const { return m_searchText; }
    const SelectionList &searchResults() const { return m_searchResults; }
    int currentSearchIndex() const { return m_currentSearchIndex; }
    // The indices into searchResults, ascending, of the results that the
    // reflow view shows inside images of the page (figures, tables,
    // formulas) rather than as text; empty in the other views. Written only
    // by reflowShowsResultsInImages and emptied with the results.
    const QList<int> &searchResultsInImages() const { return m_searchResultsInImages; }

    // The passage that the last jump went to, marked on its page by the page
    // and book views until the reader clicks, selects or goes elsewhere.
    // Written only by the operations below (requestCarriedOut,
    // passageMarkDismissed) and dropped with its document.
    const OptionalSelection &markedPassage() const { return m_markedPassage; }

    // ---- Plain state (not published) ---------------------------------------
    // Read here; written only by the operations named with each.

    // The point to show with the current jumpToPage request; cleared with it
    // (navigate, turnPage, requestCarriedOut).
    const std::optional<engine::PdfDestination> &pendingDestination() const { return m_pendingDestination; }
    // The passage to show with the current request (reflow view).
    const std::optional<ReadingTextSource> &pendingTextSource() const { return m_pendingTextSource; }
    // The last known precise reading position; kept after a request is
    // carried out.
    const std::optional<engine::PdfDestination> &retainedDestination() const { return m_retainedDestination; }
    // The selection made in the page or book view (pageSelectionChanged,
    // selectBook, captureNativeReading).
    const std::optional<engine::PdfSelection> &retainedSelection() const { return m_retainedSelection; }
    // Book-view selection gesture in progress (selectBook).
    const std::optional<BookSelectionAnchor> &bookSelectionAnchor() const { return m_bookSelectionAnchor; }
    const std::optional<QString> &bookSelectionGesture() const { return m_bookSelectionGesture; }
    // Search marks per page (rebuilt by rebuildSearchRects()).
    const SearchRectMap &searchRects() const { return m_searchRects; }
    // The page view fits the page width when it first shows the document
    // (documentOpened, firstShowFitted).
    bool fitNativeOnMount() const { return m_fitNativeOnMount; }
    // The page at which the reflow view is to open the paper at reflowBlock
    // and reflowOffset; -1 for none (documentOpened, reflowPositionChanged).
    int reflowPage() const { return m_reflowPage; }

    // The pane's native page view, held weakly. The object must implement
    // NativePDFViewInterface; nativePDFView() is null when it is gone.
    void setNativePDFView(QObject *view) { m_nativePDFView = view; }
    NativePDFViewInterface *nativePDFView() const;

    // ---- Operations: state (SharedPDFViewModel.cpp) ------------------------

    // Tells the other panes that this model's side file of `kind` was just
    // written. Posts nothing without a document URL.
    void notifySidecarChanged(SidecarKind kind);
    // Copies the page view's current destination and selection into the
    // model (retainedDestination, retainedSelection, selectionText), unless
    // the view still shows another document.
    void captureNativeReading();
    // Puts selectionText on the clipboard; nothing when it is empty.
    void copySelection();
    // The reader's selection in the page view changed (none: it was
    // cleared). It becomes the retained selection, and its text the
    // selection text, written only when it differs.
    void pageSelectionChanged(std::optional<engine::PdfSelection> selection);
    // A paper is being opened on `document`: it becomes the open document,
    // with no document URL until documentOpened, so that nothing of the new
    // paper is saved under the one shown before while its side files are
    // read.
    void documentOpening(PdfDocumentPtr document);
    // The side files of `document` are being read: it becomes the open
    // document (a different one takes the marked passage away). The URL
    // stays as it is.
    void documentLoading(PdfDocumentPtr document);
    // A paper was opened: the book turn request and error go, the page
    // count is the document's, the current page and the requested page are
    // `opened.page`, the reflow position and the first-show choices are
    // those of `opened`, the search is cleared, the document and its URL
    // are in place and the page view is rebuilt.
    void documentOpened(OpenedDocument opened);
    // The page view fitted the page width on its first show of the paper.
    void firstShowFitted();
    // The paper was closed: navigation, page count and current page, the
    // book error, the retained position and selection, the selection text
    // and the text-selection mode are reset, the search is cleared and the
    // document and its URL go.
    void documentClosed();
    // The open paper's file now lies at `url` (renamed or moved): the page
    // view is rebuilt on it.
    void documentMoved(QUrl url);
    // Another reader gave the open paper the name of `url` and its side
    // files with it: the model follows, and the next save of its bookmarks
    // merges into the file there what changed here since it was read.
    void documentFollowed(QUrl url);
    // The open paper's file was written over with the bytes of `document`,
    // which takes the old document's place at the same URL: the current
    // page is held to the new page count before the views are rebuilt on
    // it. What pointed into the old document (the selection, search
    // results, a point or jump past the new last page) is dropped; the
    // reading position, markups and bookmarks stay. Nothing without a
    // document or an open file.
    void documentFileReplaced(PdfDocumentPtr document);

    // ---- Operations: navigation (SharedPDFViewModelNavigation.cpp) ---------

    // The back stack holds at most this many positions.
    static constexpr int maxBackLocations = 64;

    // The current position: the pending jump, else the page view's
    // position, else the retained destination on the current page, else the
    // current page. Its source is always none.
    ReadingLocation location() const;
    // Requests a move to `location`; with `remembering` the position left is
    // pushed onto the back stack (no duplicate of its top) and the forward
    // stack is emptied. Ignored without a document, for a page that does not
    // exist and for a point that is not finite.
    void navigate(const ReadingLocation &location, bool remembering);
    // Requests a move to a destination of the open document, remembering.
    void navigate(const engine::PdfDestination &destination);
    // One step back (forward false) or forward in the history.
    void returnLocation(bool forward);
    // The reader asked for the next (forward) or previous page. In the book
    // view (`inBook`) this is a new turn request, one per call; in the page
    // view it drops a pending destination and jumps to the neighbouring page,
    // held to the document (the jump is requested also when it stays put).
    // Nothing in the page view without a document.
    void turnPage(bool forward, bool inBook);
    // Forgets the history, the bookmarks, the book selection and the search
    // marks of the document.
    void resetNavigation();
    // How much of the pending request a reading view spends when it carries
    // it out: the page request and what goes with it (`jump`), or, for a
    // view that opened on its page (`jumpAndPlace`), also a destination or
    // passage that came without a page request.
    enum class RequestScope { jump, jumpAndPlace };
    // A reading view showing `document` has carried out the request to show
    // `page`: the request (jumpToPage, pendingDestination, pendingTextSource)
    // is cleared, and the passage that went with it, when it is found on its
    // page, becomes the marked passage; a jump without one takes the mark
    // away. Nothing of the page request when it was replaced by another
    // meanwhile, and nothing at all when `document` is no longer the open
    // one (a view still showing the paper left behind spends no request
    // made for the next). Every view that carries out requests calls this.
    void requestCarriedOut(const PdfDocumentPtr &document, int page, RequestScope scope = RequestScope::jump);
    // The reader clicked or selected in a reading view: the marked passage
    // goes away.
    void passageMarkDismissed();
    // The reflow view reports where the reader is: `page`, the block and the
    // offset in it, and the point of the page when the view knows one (it
    // becomes the retained destination).
    void reflowPositionChanged(int page, int block, int offset, std::optional<QPointF> point);
    // Finds a passage's text in the open document; installed by the layer
    // that maps passages to page text. Without one no passage is marked.
    using PassageFinder = std::function<std::optional<engine::PdfSelection>(const ReadingTextSource &source)>;
    void setPassageFinder(PassageFinder finder) { m_passageFinder = std::move(finder); }

    // ---- Operations: bookmarks (SharedPDFViewModelBookmarks.cpp) -----------

    // The bookmark file of a document: annotationDirectory/<hash>-bookmarks.json.
    // Empty when there is no data folder. Creates nothing.
    QString bookmarkURL(const QUrl &documentURL) const;
    // Resets the navigation and reads the document's bookmarks (from the
    // file under the current path, else under a path the reading history
    // recorded for the same file: services().formerPaths; from `readFrom`
    // alone when given, none when it is empty).
    void loadBookmarks(const QUrl &documentURL, const PdfDocumentPtr &document,
                       const std::optional<QString> &readFrom = std::nullopt);
    // While the paper's side files cannot be known to be its own (the
    // account of whose files lie under its name could not be written),
    // no save of the bookmarks or markups writes, and `reason` says why;
    // none: they save again.
    void holdSideFiles(const std::optional<QString> &reason);
    const std::optional<QString> &sideFilesHeld() const { return m_sideFilesHeld; }
    // The bookmark file read at load (`from`) now lies under the paper's
    // name: the next save merges into it what changed here since.
    void sideFilesSettled(const QString &from);
    // Writes the bookmarks of the open document and tells the other panes.
    void persistBookmarks();
    // Whether the last write of the bookmark file failed.
    bool bookmarksUnsaved() const { return m_bookmarksUnsaved; }
    // Re-reads the bookmark file after another pane wrote it.
    void reloadSharedBookmarks();
    // Writes again the annotation and bookmark files whose last write
    // failed (also done a while after each failure).
    void retryUnsavedSideFiles();
    static constexpr double kSideFileRetrySeconds = 5;
    // Removes the bookmark of the current page, else adds one; then saves.
    void toggleBookmark();
    // Removes every bookmark with `id`; then saves.
    void removeBookmark(const QUuid &id);

    // ---- Operations: book view (SharedPDFViewModelBook.cpp) ----------------

    static constexpr int maxBookLinksPerPage = 128;
    static constexpr int maxBookOverlayRows = 512;

    // Clears the book selection, the reflow passages and the selection text.
    void clearBookSelection();
    // The reader turned the book view's text-selection mode on or off; off,
    // the book selection is cleared as well.
    void toggleBookTextMode();
    // The reader ended the selection: the book view's text mode goes off and
    // the book selection and the page view's selection are cleared.
    void endSelection();
    // The reader selects in the book view: starts, extends or ends a
    // selection from a sheet point (u, v) of `page`. The book view's text
    // mode goes on.
    void selectBook(int page, QPointF uv, double aspect, BookSelectionPhase phase, const QString &gesture);
    // Follows the link under a sheet point: an internal destination is
    // navigated to; an http, https or mailto URL is opened outside
    // (services().openExternalURL, else the system's default application).
    void activateBookLink(int page, QPointF uv, double aspect);
    // Link rows [page, x, y, width, height] of the visible pages.
    std::vector<BookRow> bookLinks(double aspect) const;
    // Overlay rows [page, x, y, width, height, r, g, b, a]: the current search
    // match, the other matches, the selection; at most 512.
    std::vector<BookRow> bookOverlays(double aspect) const;
    // The pages the book view shows: the page or spread of the pending jump,
    // else of the current page.
    std::vector<int> visibleBookPages() const;

    // ---- Operations: search marks (SharedPDFViewModelSearch.cpp) -----------

    static constexpr int maxSearchRowsPerPage = 384;

    // The reader opened the search bar: the page view's position and
    // selection are taken first.
    void searchOpened();
    // The reader typed `text` as the question.
    void searchTextEntered(QString text);
    // The question changed: its results, the current index and the marks
    // go; the bar and the question stay.
    void searchRestarted();
    // The search is over: the bar is hidden, the question emptied, and its
    // results, the current index and the marks go.
    void searchCleared();
    // The result at `index` becomes the current one and is shown.
    void searchResultChosen(int index);

    // Lays the search matches out as rows of searchRects (only while the
    // search bar is shown) and raises readingOverlayRevision.
    void rebuildSearchRects();
    // A search found more matches: they follow the results held, and their
    // marks are added (only while the search bar is shown).
    void searchFoundMatches(SearchBatch batch);
    // Redraws the marks (rebuilding them when asked) and goes to the current
    // match, remembering the position left.
    void showCurrentSearchResult(bool rebuild);
    // The index a step forward or back from the current result leads to,
    // passing over the results shown inside images; the current index when
    // no other result is shown as text, -1 without results.
    int searchStepTarget(bool forward) const;
    // The reflow view found these results (indices into searchResults)
    // inside images of its pages; an empty list when it went away. Indices
    // out of range are dropped. When the current result is among them and
    // another is shown as text, the next one shown as text becomes current
    // and is shown.
    void reflowShowsResultsInImages(QList<int> indices);

    // ---- Annotations ---------------------------------------------------------

    // The pane's annotations, handed over by whoever makes the pane; the
    // model takes them over (they become its child). Null until then.
    void setAnnotations(PaneAnnotationsInterface *annotations);
    PaneAnnotationsInterface *annotations() const { return m_annotations; }

    // The pane began to load the open paper's annotations: the retained
    // selection and position, the selection text and the text-selection
    // mode are reset.
    void annotationsLoadStarted();
    // The reader selected passages in the reflow view: they become the
    // reflow passages, their quotes the selection text, and `selection` (the
    // passages found on their pages; none when not all were) the retained
    // selection.
    void reflowSelectionTaken(TextSourceList sources, std::optional<engine::PdfSelection> selection);
    // The reflow selection was found on its pages and starts at
    // `destination` (none: at no known point); it becomes the retained
    // destination.
    void reflowSelectionPlaced(std::optional<engine::PdfDestination> destination);
    // A side file could not be written: the unsaved ones are written again
    // a while later (retryUnsavedSideFiles), once however many fail.
    void sideFileSaveFailed();

    // ---- What the reading views report ---------------------------------------

    // The page or reflow view shows `page` now.
    void pageShown(int page);
    // The page view was made on the open document, of `pageCount` pages.
    void pageViewOpened(int pageCount);
    // The book view opened the document of `pageCount` pages at `page`; it
    // cannot turn yet, and `error` is what it shows (none: no error).
    void bookOpened(int pageCount, int page, std::optional<QString> error);
    // The book view stands at `page` and can turn on forward or backward
    // from there.
    void bookTurned(int page, bool canForward, bool canBackward);
    // The book view carried out the turn request `id`: it is cleared, unless
    // another took its place meanwhile.
    void bookTurnCarriedOut(const QUuid &id);
    // The reader chose the book view (`book`) or the page view: the book
    // opens where the page view stood and the page view's text-selection
    // mode goes off; the page view turns the book's text mode off.
    void readingModeChosen(bool book);
    // The reflow view is about to come (`entering`) or go: the page view's
    // position is taken when it comes, and every selection and text mode
    // ends.
    void reflowToggling(bool entering);
    // Another view shows the paper now: it is asked to show the current
    // page.
    void readingViewSwitched();
    // The pane's annotations were reset: the reflow passages go with them.
    void annotationsReset();
    // The book view laid its pages out.
    void bookLaidOut(platform::BookLayout layout);
    // The book view's pages are ready: its error goes away.
    void bookReady();
    // The book view could not show its pages, for the reason `message`.
    void bookFailed(const QString &message);
    // The reader chose the reflow typography `appearance` in the reflow view.
    void reflowAppearanceChosen(const QVariantMap &appearance);

signals:
    void pdfDocumentChanged();
    void pdfDocumentURLChanged();
    // The page view is to be made anew on the open document (a paper was
    // opened, moved or written over); views do it in a later turn.
    void pageViewRebuildRequested();
    // The open paper's file was written over (documentFileReplaced).
    void documentFileWasReplaced();
    // Side files whose save failed are about to be written again: whoever
    // knows the paper went elsewhere meanwhile (another reader moved it)
    // lets the model follow it first.
    void unsavedSideFilesAboutToBeWritten();
    void bookTurnRequestChanged();
    void bookCanForwardChanged();
    void bookCanBackwardChanged();
    void bookErrorChanged();
    void bookLayoutChanged();
    void textSelectionModeChanged();
    void selectionTextChanged();
    void bookTextModeChanged();
    void readingOverlayRevisionChanged();
    void bookmarksChanged();
    void backLocationsChanged();
    void forwardLocationsChanged();
    void navigationErrorChanged();
    void currentPageIndexChanged();
    void reflowAppearanceChanged();
    void reflowSourcesChanged();
    void reflowBlockChanged();
    void reflowOffsetChanged();
    void pageCountChanged();
    void jumpToPageChanged();
    void showSearchChanged();
    void searchTextChanged();
    void searchResultsChanged();
    void currentSearchIndexChanged();
    void markedPassageChanged();
    void searchResultsInImagesChanged();

private:
    friend class SharedPDFViewModelTestPeer;

    // The published state is written only by the operations above (and by
    // the test peer).
    void setPdfDocument(PdfDocumentPtr value);
    void setPdfDocumentURL(QUrl value);
    void setBookTurnRequest(std::optional<BookTurnRequest> value);
    void setBookCanForward(bool value);
    void setBookCanBackward(bool value);
    void setBookError(std::optional<QString> value);
    void setBookLayout(platform::BookLayout value);
    void setTextSelectionMode(bool value);
    void setSelectionText(QString value);
    void setBookTextMode(bool value);
    void setBookmarks(BookmarkList value);
    void setBackLocations(LocationList value);
    void setForwardLocations(LocationList value);
    void setNavigationError(std::optional<QString> value);
    void setCurrentPageIndex(int value);
    void setReflowAppearance(std::optional<QVariantMap> value);
    void setReflowSources(TextSourceList value);
    void setReflowBlock(int value);
    void setReflowOffset(int value);
    void setPageCount(int value);
    void setJumpToPage(std::optional<int> value);
    void setShowSearch(bool value);
    void setSearchText(QString value);
    void setSearchResults(SelectionList value);
    void setCurrentSearchIndex(int value);

    // Writes a published property, notifying only when it changes.
    template <typename T>
    void publish(T &field, T value, void (SharedPDFViewModel::*changed)());
    // Writes a one-shot request, notifying on every write.
    template <typename T>
    void request(T &field, T value, void (SharedPDFViewModel::*changed)());
    void setReadingOverlayRevision(int value);

    void handleSidecarChange(const SidecarChanged &change);
    // The book selection at page/point, as selectBook computes it.
    void updateBookSelection(int page, QPointF point, BookSelectionPhase phase);
    // Reads and checks the primary bookmark file (reloadSharedBookmarks).
    bool readSharedBookmarks(BookmarkList *out, QString *error, platform::StoredFileVersion *version) const;
    // Writes the bookmark list to `target`, merged with what another reader
    // wrote there since (the list written then goes to `written`).
    bool writeBookmarkFile(const QString &target, BookmarkList *written, QString *error);

    const QUuid m_readingSessionID;
    const PaneModelServices m_services;
    quint64 m_sidecarObserver = 0;

    PdfDocumentPtr m_pdfDocument;
    QUrl m_pdfDocumentURL;
    std::optional<BookTurnRequest> m_bookTurnRequest;
    bool m_bookCanForward = false;
    bool m_bookCanBackward = false;
    std::optional<QString> m_bookError;
    platform::BookLayout m_bookLayout = platform::BookLayout::Spread;
    bool m_textSelectionMode = false;
    QString m_selectionText;
    bool m_bookTextMode = false;
    int m_readingOverlayRevision = 0;
    BookmarkList m_bookmarks;
    LocationList m_backLocations;
    LocationList m_forwardLocations;
    std::optional<QString> m_navigationError;
    QPointer<PaneAnnotationsInterface> m_annotations;
    QPointer<QObject> m_nativePDFView;
    QString m_annotationDirectory;
    // A bookmark file of this document that failed to load; it is moved
    // aside before it would first be overwritten.
    QString m_unreadableBookmarkFile;
    // The last write of the bookmark file failed.
    bool m_bookmarksUnsaved = false;
    // What the quit names as unsaved for this document's bookmarks: one
    // name for each document opened, so that another paper written under
    // the same name never clears it.
    QString m_bookmarksUnsavedKey;
    std::optional<QString> m_sideFilesHeld;
    bool m_sideFileRetryScheduled = false;
    // The bookmark file from which bookmarks outside the document were left
    // out at load: copied aside before it is first written over.
    QString m_droppedBookmarkFile;
    // The bookmark file of the document as it was named when its bookmarks
    // were loaded; another target at a save means the paper has moved.
    QString m_bookmarkFileAtLoad;
    // That file as last read or written here, and the list it held: a
    // save merges what another reader wrote since.
    platform::StoredFileVersion m_bookmarkFileVersion;
    BookmarkList m_bookmarkBase;
    // Where a bookmark file that could not be read went, until a save
    // tells it.
    QString m_bookmarkFileSetAside;
    int m_currentPageIndex = 0;
    std::optional<QVariantMap> m_reflowAppearance;
    TextSourceList m_reflowSources;
    int m_reflowBlock = 0;
    int m_reflowOffset = 0;
    int m_pageCount = 0;
    std::optional<int> m_jumpToPage;
    bool m_showSearch = false;
    QString m_searchText;
    SelectionList m_searchResults;
    int m_currentSearchIndex = 0;
    OptionalSelection m_markedPassage;
    QList<int> m_searchResultsInImages;
    PassageFinder m_passageFinder;
    void setMarkedPassage(OptionalSelection value);

    std::optional<engine::PdfDestination> m_pendingDestination;
    std::optional<ReadingTextSource> m_pendingTextSource;
    std::optional<engine::PdfDestination> m_retainedDestination;
    std::optional<engine::PdfSelection> m_retainedSelection;
    std::optional<BookSelectionAnchor> m_bookSelectionAnchor;
    std::optional<QString> m_bookSelectionGesture;
    SearchRectMap m_searchRects;
    bool m_fitNativeOnMount = false;
    int m_reflowPage = -1;
};

} // namespace folvan::model
