// Search marks: the matches of the pane's search laid out as coloured line
// rectangles per page, for the views that draw their own overlays.

#include "model/SharedPDFViewModel.h"

#include "engine/PdfDocument.h"

namespace folvan {

namespace {

// A translucent amber, the same for every mark.
constexpr double kMarkColor[4] = {0.96, 0.79, 0.12, 0.18};

} // namespace

void SharedPDFViewModel::rebuildSearchRects()
{
    searchRects.clear();
    if (m_pdfDocument && m_showSearch) {
        for (const engine::PdfSelection &match : m_searchResults) {
            for (const engine::PdfSelection &line : match.selectionsByLine()) {
                for (const engine::PdfPage &page : line.pages()) {
                    const QRectF bounds = line.bounds(page);
                    if (bounds.isEmpty())
                        continue;
                    std::vector<std::vector<double>> &rows = searchRects[page.index()];
                    if (rows.size() >= std::size_t(maxSearchRowsPerPage))
                        continue;
                    rows.push_back({bounds.x(), bounds.y(), bounds.width(), bounds.height(), kMarkColor[0],
                                    kMarkColor[1], kMarkColor[2], kMarkColor[3]});
                }
            }
        }
    }
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

} // namespace folvan
