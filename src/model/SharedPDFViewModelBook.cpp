// The native half of the book view: text selection from sheet points,
// following a link at a sheet point, and the link and overlay rows of the
// visible page or spread. Sheet coordinates are those of PaperCoordinates.

#include "model/SharedPDFViewModel.h"

#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "model/PaperCoordinates.h"
#include "platform/Desktop.h"

#include <algorithm>

namespace folvan::model {

namespace {

constexpr double kCurrentMatchColor[4] = {1.0, 0.51, 0.12, 0.3};
constexpr double kSelectionColor[4] = {0.21, 0.52, 1.0, 0.22};
constexpr double kPassageColor[4] = {0.2, 0.78, 0.35, 0.3};

bool isLinkSubtype(const engine::PdfAnnotation &annotation)
{
    QString kind = annotation.subtype;
    while (kind.startsWith(QLatin1Char('/')))
        kind.remove(0, 1);
    while (kind.endsWith(QLatin1Char('/')))
        kind.chop(1);
    return kind.toLower() == QLatin1String("link");
}

// The internal destination of a link annotation, when it leads to a page.
std::optional<engine::PdfDestination> linkDestination(const engine::PdfAnnotation &annotation)
{
    if (!isLinkSubtype(annotation) || !annotation.destination || !annotation.destination->hasPage())
        return std::nullopt;
    return annotation.destination;
}

// Whether the point lies in the rectangle, its lower edges included and its
// upper edges not.
bool containsPoint(const QRectF &rect, QPointF point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top()
        && point.y() < rect.bottom();
}

// The first link annotation of the page whose bounds contain the point.
std::optional<engine::PdfAnnotation> linkAt(const engine::PdfPage &page, QPointF point)
{
    for (engine::PdfAnnotation &annotation : engine::annotations(*page.document(), page.index()))
        if (isLinkSubtype(annotation) && containsPoint(annotation.bounds, point))
            return std::move(annotation);
    return std::nullopt;
}

BookRow sheetRow(int page, const QRectF &sheet)
{
    return {double(page), sheet.x(), sheet.y(), sheet.width(), sheet.height()};
}

BookRow colouredRow(int page, const QRectF &sheet, const double *rgba)
{
    BookRow row = sheetRow(page, sheet);
    row.insert(row.end(), rgba, rgba + 4);
    return row;
}

// The sheet geometry of each visible page that exists and has one.
std::vector<std::pair<int, PaperCoordinates>> visibleGeometry(const PdfDocumentPtr &document,
                                                              const std::vector<int> &pages, double aspect)
{
    std::vector<std::pair<int, PaperCoordinates>> result;
    for (int index : pages) {
        if (index < 0 || index >= document->pageCount())
            continue;
        if (std::optional<PaperCoordinates> coordinates = PaperCoordinates::make(document->page(index), aspect))
            result.emplace_back(index, *coordinates);
    }
    return result;
}

const PaperCoordinates *geometryOf(const std::vector<std::pair<int, PaperCoordinates>> &geometry, int page)
{
    const auto it = std::find_if(geometry.begin(), geometry.end(), [page](const auto &entry) {
        return entry.first == page;
    });
    return it == geometry.end() ? nullptr : &it->second;
}

// Rows for every line piece of a selection on the visible pages.
void appendSelectionRows(const engine::PdfSelection &selection,
                         const std::vector<std::pair<int, PaperCoordinates>> &geometry, const double *rgba,
                         std::vector<BookRow> &rows)
{
    for (const engine::PdfSelection &line : selection.selectionsByLine()) {
        for (const engine::PdfPage &page : line.pages()) {
            if (const PaperCoordinates *coordinates = geometryOf(geometry, page.index()))
                rows.push_back(colouredRow(page.index(), coordinates->paperRect(line.bounds(page)), rgba));
        }
    }
}

} // namespace

std::vector<int> SharedPDFViewModel::visibleBookPages() const
{
    const int p = m_jumpToPage.value_or(m_currentPageIndex);
    if (m_bookLayout == platform::BookLayout::Single)
        return {p};
    // Spreads: page 0 alone, then 1–2, 3–4, ...
    if (p == 0)
        return {0};
    if (p % 2 == 1)
        return {p, p + 1};
    return {p - 1, p};
}

void SharedPDFViewModel::clearBookSelection()
{
    passageMarkDismissed();
    setReflowSources({});
    m_retainedSelection.reset();
    setSelectionText(QString());
    m_bookSelectionAnchor.reset();
    m_bookSelectionGesture.reset();
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
}

void SharedPDFViewModel::toggleBookTextMode()
{
    setBookTextMode(!m_bookTextMode);
    if (!m_bookTextMode)
        clearBookSelection();
}

void SharedPDFViewModel::endSelection()
{
    setBookTextMode(false);
    clearBookSelection();
    if (NativePDFViewInterface *view = nativePDFView())
        view->clearSelection();
}

void SharedPDFViewModel::selectBook(int page, QPointF uv, double aspect, BookSelectionPhase phase,
                                    const QString &gesture)
{
    if (!m_pdfDocument || page < 0 || page >= m_pdfDocument->pageCount())
        return;
    if (!m_bookTextMode)
        setBookTextMode(true);
    const std::optional<PaperCoordinates> coordinates = PaperCoordinates::make(m_pdfDocument->page(page), aspect);
    const std::optional<QPointF> point = coordinates ? coordinates->pdfPoint(uv) : std::nullopt;
    if (!point)
        return;

    if (phase == BookSelectionPhase::Start || phase == BookSelectionPhase::Word) {
        passageMarkDismissed();
        m_bookSelectionAnchor = BookSelectionAnchor{page, *point};
        m_bookSelectionGesture = gesture;
        setCurrentPageIndex(page);
    } else if (!m_bookSelectionGesture || *m_bookSelectionGesture != gesture) {
        // A gesture other than the one that began the selection.
        return;
    }
    if (!m_bookSelectionAnchor || m_bookSelectionAnchor->page >= m_pdfDocument->pageCount())
        return;
    updateBookSelection(page, *point, phase);
}

void SharedPDFViewModel::updateBookSelection(int page, QPointF point, BookSelectionPhase phase)
{
    const BookSelectionAnchor anchor = *m_bookSelectionAnchor;
    const engine::PdfPage here = m_pdfDocument->page(page);
    engine::PdfSelection selection = phase == BookSelectionPhase::Word
        ? here.selectionForWord(point)
        : m_pdfDocument->selection(m_pdfDocument->page(anchor.page), anchor.point, here, point);

    if (selection.isEmpty())
        m_retainedSelection.reset();
    else
        m_retainedSelection = selection;
    setSelectionText(selection.isEmpty() ? QString() : selection.string());
    m_retainedDestination = engine::PdfDestination(anchor.page, anchor.point);
    setReadingOverlayRevision(m_readingOverlayRevision + 1);

    if (phase == BookSelectionPhase::End) {
        m_bookSelectionAnchor.reset();
        m_bookSelectionGesture.reset();
    }
}

void SharedPDFViewModel::activateBookLink(int page, QPointF uv, double aspect)
{
    if (!m_pdfDocument || page < 0 || page >= m_pdfDocument->pageCount())
        return;
    const engine::PdfPage pdfPage = m_pdfDocument->page(page);
    const std::optional<PaperCoordinates> coordinates = PaperCoordinates::make(pdfPage, aspect);
    const std::optional<QPointF> point = coordinates ? coordinates->pdfPoint(uv) : std::nullopt;
    if (!point)
        return;
    const std::optional<engine::PdfAnnotation> link = linkAt(pdfPage, *point);
    if (!link)
        return;
    if (const std::optional<engine::PdfDestination> destination = linkDestination(*link)) {
        navigate(*destination);
        return;
    }
    if (link->uri.isEmpty())
        return;
    const QUrl url(link->uri);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http") && scheme != QLatin1String("mailto"))
        return;
    if (m_services.openExternalURL)
        m_services.openExternalURL(url);
    else
        platform::openInDefaultApplication(url);
}

std::vector<BookRow> SharedPDFViewModel::bookLinks(double aspect) const
{
    std::vector<BookRow> rows;
    if (!m_pdfDocument)
        return rows;
    for (const auto &[index, coordinates] : visibleGeometry(m_pdfDocument, visibleBookPages(), aspect)) {
        int links = 0;
        for (const engine::PdfAnnotation &annotation : engine::annotations(*m_pdfDocument, index)) {
            if (links >= maxBookLinksPerPage)
                break;
            if (!linkDestination(annotation) && annotation.uri.isEmpty())
                continue;
            rows.push_back(sheetRow(index, coordinates.paperRect(annotation.bounds)));
            ++links;
        }
    }
    return rows;
}

std::vector<BookRow> SharedPDFViewModel::bookOverlays(double aspect) const
{
    std::vector<BookRow> rows;
    if (!m_pdfDocument)
        return rows;
    const auto geometry = visibleGeometry(m_pdfDocument, visibleBookPages(), aspect);

    if (m_showSearch && m_currentSearchIndex >= 0 && m_currentSearchIndex < int(m_searchResults.size()))
        appendSelectionRows(m_searchResults[std::size_t(m_currentSearchIndex)], geometry, kCurrentMatchColor, rows);

    for (const auto &[index, coordinates] : geometry) {
        const auto marks = m_searchRects.find(index);
        if (marks == m_searchRects.end())
            continue;
        for (const std::vector<double> &mark : marks->second) {
            if (mark.size() < 8)
                continue;
            const QRectF sheet = coordinates.paperRect(QRectF(mark[0], mark[1], mark[2], mark[3]));
            rows.push_back(colouredRow(index, sheet, mark.data() + 4));
        }
    }

    if (m_markedPassage && m_markedPassage->document() == m_pdfDocument)
        appendSelectionRows(*m_markedPassage, geometry, kPassageColor, rows);

    if (m_retainedSelection)
        appendSelectionRows(*m_retainedSelection, geometry, kSelectionColor, rows);

    if (rows.size() > std::size_t(maxBookOverlayRows))
        rows.resize(std::size_t(maxBookOverlayRows));
    return rows;
}

// ---- What the reading views report -------------------------------------------

void SharedPDFViewModel::pageShown(int page) { setCurrentPageIndex(page); }

void SharedPDFViewModel::pageViewOpened(int pageCount) { setPageCount(pageCount); }

void SharedPDFViewModel::bookOpened(int pageCount, int page, std::optional<QString> error)
{
    setPageCount(pageCount);
    setCurrentPageIndex(page);
    setBookError(std::move(error));
    setBookCanForward(false);
    setBookCanBackward(false);
}

void SharedPDFViewModel::bookTurned(int page, bool canForward, bool canBackward)
{
    setCurrentPageIndex(page);
    setBookCanForward(canForward);
    setBookCanBackward(canBackward);
}

void SharedPDFViewModel::bookTurnCarriedOut(const QUuid &id)
{
    if (m_bookTurnRequest && m_bookTurnRequest->id == id)
        setBookTurnRequest(std::nullopt);
}

void SharedPDFViewModel::readingModeChosen(bool book)
{
    if (book) {
        captureNativeReading();
        setTextSelectionMode(false);
    } else {
        setBookTextMode(false);
    }
}

void SharedPDFViewModel::reflowToggling(bool entering)
{
    if (entering)
        captureNativeReading();
    clearBookSelection();
    if (NativePDFViewInterface *native = nativePDFView())
        native->clearSelection();
    setBookTextMode(false);
    setTextSelectionMode(false);
}

void SharedPDFViewModel::readingViewSwitched()
{
    setJumpToPage(m_currentPageIndex);
}

void SharedPDFViewModel::annotationsReset()
{
    setReflowSources({});
}

void SharedPDFViewModel::bookLaidOut(platform::BookLayout layout)
{
    setBookLayout(layout);
}

void SharedPDFViewModel::bookReady() { setBookError(std::nullopt); }

void SharedPDFViewModel::bookFailed(const QString &message) { setBookError(message); }

void SharedPDFViewModel::reflowAppearanceChosen(const QVariantMap &appearance) { setReflowAppearance(appearance); }

} // namespace folvan::model
