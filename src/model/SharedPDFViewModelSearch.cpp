// Search marks: the matches of the pane's search laid out as coloured line
// rectangles per page, for the views that draw their own overlays.

#include "model/SharedPDFViewModel.h"

#include "engine/PdfDocument.h"
#include "engine/PdfSearch.h"

#include <algorithm>

namespace folvan::model {

namespace {

// A translucent amber, the same for every mark.
constexpr double kMarkColor[4] = {0.96, 0.79, 0.12, 0.18};

// Adds a mark to a page, up to the most a page holds.
void addSearchMark(SearchRectMap &marks, int page, const QRectF &bounds)
{
    std::vector<std::vector<double>> &rows = marks[page];
    if (rows.size() >= std::size_t(SharedPDFViewModel::maxSearchRowsPerPage))
        return;
    rows.push_back({bounds.x(), bounds.y(), bounds.width(), bounds.height(), kMarkColor[0], kMarkColor[1],
                    kMarkColor[2], kMarkColor[3]});
}

} // namespace

void SharedPDFViewModel::rebuildSearchRects()
{
    m_searchRects.clear();
    if (m_pdfDocument && m_showSearch) {
        for (const engine::PdfSelection &match : m_searchResults) {
            for (const engine::PdfPage &page : match.pages()) {
                const auto text = page.text();
                for (const engine::PdfTextRange &range : match.ranges(page)) {
                    for (const QRectF &bounds : engine::lineBounds(*text, range))
                        addSearchMark(m_searchRects, page.index(), bounds);
                }
            }
        }
    }
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
}

void SharedPDFViewModel::searchOpened()
{
    captureNativeReading();
    setShowSearch(true);
}

void SharedPDFViewModel::searchTextEntered(QString text)
{
    setSearchText(std::move(text));
}

void SharedPDFViewModel::searchRestarted()
{
    setSearchResults({});
    setCurrentSearchIndex(0);
    rebuildSearchRects();
}

void SharedPDFViewModel::searchCleared()
{
    setShowSearch(false);
    setSearchText(QString());
    searchRestarted();
}

void SharedPDFViewModel::searchResultChosen(int index)
{
    setCurrentSearchIndex(index);
    showCurrentSearchResult(false);
}

void SharedPDFViewModel::searchFoundMatches(SearchBatch batch)
{
    if (batch.matches.empty())
        return;
    if (m_pdfDocument && m_showSearch) {
        for (const auto &[page, bounds] : batch.lineBounds)
            addSearchMark(m_searchRects, page, bounds);
    }
    m_searchResults.insert(m_searchResults.end(), std::make_move_iterator(batch.matches.begin()),
                           std::make_move_iterator(batch.matches.end()));
    emit searchResultsChanged();
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
}

void SharedPDFViewModel::showCurrentSearchResult(bool rebuild)
{
    if (rebuild)
        rebuildSearchRects();
    else
        setReadingOverlayRevision(m_readingOverlayRevision + 1);

    if (m_currentSearchIndex < 0 || m_currentSearchIndex >= int(m_searchResults.size()) || !m_pdfDocument)
        return;
    const engine::PdfSelection &match = m_searchResults[std::size_t(m_currentSearchIndex)];
    const std::vector<engine::PdfPage> pages = match.pages();
    if (pages.empty())
        return;
    // The top centre of the match on its first page.
    const QRectF bounds = match.bounds(pages.front());
    ReadingLocation target;
    target.page = pages.front().index();
    target.point = QPointF(bounds.center().x(), bounds.bottom());
    navigate(target, true);
}

int SharedPDFViewModel::searchStepTarget(bool forward) const
{
    const int count = int(m_searchResults.size());
    if (count == 0)
        return -1;
    const int current = m_currentSearchIndex;
    for (int step = 1; step <= count; ++step) {
        const int index = ((forward ? current + step : current - step) % count + count) % count;
        if (!std::binary_search(m_searchResultsInImages.begin(), m_searchResultsInImages.end(), index))
            return index;
    }
    return std::clamp(current, 0, count - 1);
}

void SharedPDFViewModel::reflowShowsResultsInImages(QList<int> indices)
{
    const int count = int(m_searchResults.size());
    indices.removeIf([count](int index) { return index < 0 || index >= count; });
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    // Compared as ranges: QList's own == hands memcmp the null data of an
    // empty list, which is undefined even for no bytes.
    if (std::ranges::equal(indices, m_searchResultsInImages))
        return;
    m_searchResultsInImages = std::move(indices);
    emit searchResultsInImagesChanged();
    if (!std::binary_search(m_searchResultsInImages.begin(), m_searchResultsInImages.end(), m_currentSearchIndex))
        return;
    const int next = searchStepTarget(true);
    if (next == m_currentSearchIndex)
        return;
    setCurrentSearchIndex(next);
    showCurrentSearchResult(false);
}

} // namespace folvan::model
