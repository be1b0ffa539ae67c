// Reading positions and back/forward navigation. Navigation never moves a
// view: it leaves a request (jumpToPage, pendingDestination,
// pendingTextSource) that the reading view on screen carries out and clears.

#include "model/SharedPDFViewModel.h"

#include "engine/PdfDocument.h"

#include <algorithm>

namespace folvan::model {

namespace {

// The point a destination names; a destination without a top coordinate
// names the top of its page, which is no point.
std::optional<QPointF> pointOf(const std::optional<engine::PdfDestination> &destination)
{
    if (!destination || !destination->y)
        return std::nullopt;
    return QPointF(destination->x.value_or(0), *destination->y);
}

bool hasPage(const PdfDocumentPtr &document, std::int64_t page)
{
    return document && page >= 0 && page < document->pageCount();
}

} // namespace

ReadingLocation SharedPDFViewModel::location() const
{
    ReadingLocation result;
    if (m_jumpToPage) {
        result.page = *m_jumpToPage;
        result.point = pointOf(m_pendingDestination);
        return result;
    }
    if (NativePDFViewInterface *view = nativePDFView(); view && m_pdfDocument
        && view->shownDocument() == m_pdfDocument) {
        const std::optional<engine::PdfDestination> shown = view->currentDestination();
        if (shown && shown->hasPage()) {
            result.page = shown->pageIndex;
            result.point = pointOf(shown);
            return result;
        }
    }
    result.page = m_currentPageIndex;
    if (m_retainedDestination && m_retainedDestination->hasPage() && m_pdfDocument
        && m_retainedDestination->pageIndex == m_currentPageIndex)
        result.point = pointOf(m_retainedDestination);
    return result;
}

void SharedPDFViewModel::navigate(const ReadingLocation &target, bool remembering)
{
    if (!hasPage(m_pdfDocument, target.page) || !target.hasFinitePoint())
        return;

    const ReadingLocation current = location();
    if (remembering && !(current == target)) {
        LocationList back = m_backLocations;
        if (back.empty() || !(back.back() == current))
            back.push_back(current);
        if (back.size() > std::size_t(maxBackLocations))
            back.erase(back.begin(), back.end() - maxBackLocations);
        setBackLocations(std::move(back));
        setForwardLocations({});
    }

    m_pendingTextSource = target.source;
    std::optional<engine::PdfDestination> destination;
    if (target.point)
        destination = engine::PdfDestination(int(target.page), *target.point);
    m_pendingDestination = destination;
    m_retainedDestination = destination;
    setJumpToPage(int(target.page));
}

void SharedPDFViewModel::navigate(const engine::PdfDestination &destination)
{
    if (!m_pdfDocument || !destination.hasPage())
        return;
    ReadingLocation target;
    target.page = destination.pageIndex;
    target.point = pointOf(destination);
    navigate(target, true);
}

void SharedPDFViewModel::returnLocation(bool forward)
{
    const ReadingLocation current = location();
    LocationList from = forward ? m_forwardLocations : m_backLocations;
    if (from.empty())
        return;
    const ReadingLocation target = from.back();
    from.pop_back();
    LocationList to = forward ? m_backLocations : m_forwardLocations;
    to.push_back(current);
    if (forward) {
        setForwardLocations(std::move(from));
        setBackLocations(std::move(to));
    } else {
        setBackLocations(std::move(from));
        setForwardLocations(std::move(to));
    }
    navigate(target, false);
}

void SharedPDFViewModel::turnPage(bool forward, bool inBook)
{
    if (inBook) {
        setBookTurnRequest(BookTurnRequest::make(forward));
        return;
    }
    if (!m_pdfDocument || m_pdfDocument->pageCount() < 1)
        return;
    m_pendingDestination.reset();
    const int last = m_pdfDocument->pageCount() - 1;
    setJumpToPage(std::clamp(m_currentPageIndex + (forward ? 1 : -1), 0, last));
}

void SharedPDFViewModel::resetNavigation()
{
    setBackLocations({});
    setForwardLocations({});
    setBookmarks({});
    setNavigationError(std::nullopt);
    m_pendingDestination.reset();
    m_bookSelectionAnchor.reset();
    m_bookSelectionGesture.reset();
    setBookTextMode(false);
    m_searchRects.clear();
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
}

void SharedPDFViewModel::requestCarriedOut(const PdfDocumentPtr &document, int page, RequestScope scope)
{
    if (document != m_pdfDocument)
        return;
    if (m_jumpToPage == page) {
        const std::optional<ReadingTextSource> source = std::move(m_pendingTextSource);
        m_pendingTextSource.reset();
        m_pendingDestination.reset();
        setJumpToPage(std::nullopt);
        std::optional<engine::PdfSelection> passage;
        if (source && m_passageFinder && m_pdfDocument)
            passage = m_passageFinder(*source);
        if (passage && passage->isEmpty())
            passage.reset();
        setMarkedPassage(std::move(passage));
    }
    if (scope == RequestScope::jumpAndPlace) {
        m_pendingDestination.reset();
        m_pendingTextSource.reset();
    }
}

void SharedPDFViewModel::reflowPositionChanged(int page, int block, int offset, std::optional<QPointF> point)
{
    setCurrentPageIndex(page);
    setReflowBlock(block);
    setReflowOffset(offset);
    m_reflowPage = page;
    if (point)
        m_retainedDestination = engine::PdfDestination(page, *point);
}

void SharedPDFViewModel::passageMarkDismissed()
{
    setMarkedPassage(std::nullopt);
}

void SharedPDFViewModel::setMarkedPassage(OptionalSelection value)
{
    if (!value && !m_markedPassage)
        return;
    m_markedPassage = std::move(value);
    emit markedPassageChanged();
    // The book view draws the mark among its overlays.
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
}

} // namespace folvan::model
