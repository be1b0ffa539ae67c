#include "pdfview/PageSelections.h"

#include <algorithm>

#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"

namespace folvan::pdfview {

bool PageSelections::setSelection(const engine::PdfSelection &selection)
{
    if (selection == m_selection)
        return false;
    m_selection = selection;
    m_selectionRects.clear();
    return true;
}

bool PageSelections::setHighlights(const std::vector<engine::PdfSelection> &selections)
{
    const bool extends = selections.size() > m_highlights.size()
                         && std::equal(m_highlights.begin(), m_highlights.end(), selections.begin());
    if (!extends) {
        if (selections == m_highlights)
            return false;
        m_highlights.clear();
        m_highlightsOfPage.clear();
        m_highlightRects.clear();
    }
    for (size_t i = m_highlights.size(); i < selections.size(); ++i) {
        m_highlights.push_back(selections[i]);
        for (const engine::PdfPage &page : selections[i].pages()) {
            m_highlightsOfPage[page.index()].push_back(i);
            m_highlightRects.remove(page.index());
        }
    }
    return true;
}

bool PageSelections::setPassage(const engine::PdfSelection &passage)
{
    if (passage == m_passage)
        return false;
    m_passage = passage;
    m_passageRects.clear();
    return true;
}

bool PageSelections::clear()
{
    const bool hadSelection = !m_selection.isEmpty();
    m_selection = {};
    m_selectionRects.clear();
    m_highlights.clear();
    m_highlightsOfPage.clear();
    m_highlightRects.clear();
    m_passage = {};
    m_passageRects.clear();
    return hadSelection;
}

void PageSelections::forgetPage(int pageIndex)
{
    m_highlightRects.remove(pageIndex);
    m_selectionRects.remove(pageIndex);
    m_passageRects.remove(pageIndex);
}

PageSelections::PageMarks PageSelections::marksOf(int pageIndex, const std::shared_ptr<engine::PdfDocument> &document,
                                                  const TextOfPage &text)
{
    PageMarks marks;
    if (m_highlightsOfPage.contains(pageIndex)) {
        if (const auto it = m_highlightRects.constFind(pageIndex); it != m_highlightRects.constEnd()) {
            marks.highlights = &it.value();
        } else if (const engine::PdfPageText *pageText = text(pageIndex)) {
            std::vector<QRectF> rects;
            for (size_t i : m_highlightsOfPage.value(pageIndex)) {
                const std::vector<QRectF> pieces = lineRects(*pageText, m_highlights[i].ranges(pageIndex));
                rects.insert(rects.end(), pieces.begin(), pieces.end());
            }
            marks.highlights = &m_highlightRects.insert(pageIndex, std::move(rects)).value();
        }
    }
    if (!m_passage.isEmpty() && m_passage.document() == document) {
        if (const auto it = m_passageRects.constFind(pageIndex); it != m_passageRects.constEnd())
            marks.passage = &it.value();
        else if (const std::vector<engine::PdfTextRange> ranges = m_passage.ranges(pageIndex); ranges.empty())
            marks.passage = &m_passageRects.insert(pageIndex, {}).value();
        else if (const engine::PdfPageText *pageText = text(pageIndex))
            marks.passage = &m_passageRects.insert(pageIndex, lineRects(*pageText, ranges)).value();
    }
    if (!m_selection.isEmpty() && m_selection.document() == document) {
        if (const auto it = m_selectionRects.constFind(pageIndex); it != m_selectionRects.constEnd())
            marks.selection = &it.value();
        else if (const engine::PdfPageText *pageText = text(pageIndex))
            marks.selection =
                &m_selectionRects.insert(pageIndex, lineRects(*pageText, m_selection.ranges(pageIndex))).value();
    }
    return marks;
}

std::vector<QRectF> PageSelections::lineRects(const engine::PdfPageText &text,
                                              const std::vector<engine::PdfTextRange> &ranges)
{
    // Separators have empty boxes and add nothing.
    std::vector<QRectF> rects;
    const int count = int(text.boxes.size());
    for (const engine::PdfTextRange &range : ranges) {
        int at = std::max(range.location, 0);
        const int end = std::min(range.end(), count);
        while (at < end) {
            const int line = text.lineOf(at);
            const int stop = line < 0 ? at + 1 : std::clamp(text.lines[size_t(line)].range.end() + 1, at + 1, end);
            QRectF piece;
            for (int k = at; k < stop; ++k) {
                const QRectF &box = text.boxes[size_t(k)];
                if (!box.isEmpty())
                    piece = piece.isNull() ? box : piece.united(box);
            }
            if (!piece.isNull())
                rects.push_back(piece);
            at = stop;
        }
    }
    return rects;
}

} // namespace folvan::pdfview
