#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QRectF>

#include "engine/PdfSelection.h"

namespace folvan::engine {
class PdfDocument;
struct PdfPageText;
}

namespace folvan::pdfview {

// The text marks a page view draws over its pages: the user's selection,
// the highlighted selections (search matches) and the marked passage (the
// place a jump went to), with the rectangles each covers on a page, worked
// out once the page's text is at hand and kept until a mark or the text
// changes. Main thread only.
class PageSelections {
public:
    // The rectangles (page space) of each kind of mark on one page; null
    // where the page has none or its text is not yet at hand.
    struct PageMarks {
        const std::vector<QRectF> *highlights = nullptr;
        const std::vector<QRectF> *passage = nullptr;
        const std::vector<QRectF> *selection = nullptr;
    };
    // Hands out a page's text when it has been fetched; else asks for it
    // and answers null.
    using TextOfPage = std::function<const engine::PdfPageText *(int pageIndex)>;

    const engine::PdfSelection &selection() const { return m_selection; }
    // False when the selection is the one already there.
    bool setSelection(const engine::PdfSelection &selection);

    const std::vector<engine::PdfSelection> &highlights() const { return m_highlights; }
    // False when nothing changed. A list that is the current one with more
    // at its end (a search handing over its matches in batches) only adds
    // the new ones, and only the pages they touch lose their rectangles.
    bool setHighlights(const std::vector<engine::PdfSelection> &selections);

    const engine::PdfSelection &passage() const { return m_passage; }
    bool setPassage(const engine::PdfSelection &passage);

    // Forgets every mark (a new document); true when there was a selection.
    bool clear();
    // Forgets the rectangles of a page whose text has just arrived.
    void forgetPage(int pageIndex);

    // The marks of a page of `document`; marks of another document are not
    // drawn. A page's text is asked for only where a mark needs it.
    PageMarks marksOf(int pageIndex, const std::shared_ptr<engine::PdfDocument> &document, const TextOfPage &text);

    // The line pieces of text ranges of a page, as rectangles (page space):
    // one per line piece of each range, the union of its boxes.
    static std::vector<QRectF> lineRects(const engine::PdfPageText &text,
                                         const std::vector<engine::PdfTextRange> &ranges);

private:
    engine::PdfSelection m_selection;
    QHash<int, std::vector<QRectF>> m_selectionRects;
    std::vector<engine::PdfSelection> m_highlights;
    QHash<int, std::vector<size_t>> m_highlightsOfPage;
    QHash<int, std::vector<QRectF>> m_highlightRects;
    engine::PdfSelection m_passage;
    QHash<int, std::vector<QRectF>> m_passageRects;
};

} // namespace folvan::pdfview
