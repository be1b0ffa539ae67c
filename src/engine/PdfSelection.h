#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QString>

#include "engine/PdfPage.h"
#include "engine/PdfTypes.h"

namespace folvan::engine {

// A selection of page text: ranges of the page strings of one document,
// kept per page in ascending page order, each page's ranges sorted and
// merged. An empty selection touches no page. Two selections are equal when
// they select the same code units of the same document.
class PdfSelection {
public:
    PdfSelection() = default;
    explicit PdfSelection(std::shared_ptr<PdfDocument> document);
    PdfSelection(const PdfPage &page, PdfTextRange range);
    PdfSelection(const PdfPage &page, const std::vector<PdfTextRange> &ranges);

    const std::shared_ptr<PdfDocument> &document() const { return m_document; }
    bool isEmpty() const { return m_ranges.empty(); }

    std::vector<PdfPage> pages() const;
    std::vector<PdfTextRange> ranges(int pageIndex) const;
    std::vector<PdfTextRange> ranges(const PdfPage &page) const { return ranges(page.index()); }

    // The selected text, page after page; pages are joined by "\n", as are
    // separate ranges of one page.
    QString string() const;
    // The union of the selected boxes on a page (empty boxes left out).
    QRectF bounds(const PdfPage &page) const;
    // One selection per line piece, in document order.
    std::vector<PdfSelection> selectionsByLine() const;

    // Adds another selection of the same document (a selection of another
    // document is ignored).
    void add(const PdfSelection &other);
    // Grows the selection by code units at its end and at its start, not
    // past the ends of the page strings involved.
    void extend(int atEnd, int atStart);

    friend bool operator==(const PdfSelection &a, const PdfSelection &b)
    {
        return a.m_document == b.m_document && a.m_ranges == b.m_ranges;
    }

private:
    void addRange(int pageIndex, PdfTextRange range);

    std::shared_ptr<PdfDocument> m_document;
    std::map<int, std::vector<PdfTextRange>> m_ranges;
};

} // namespace folvan::engine
