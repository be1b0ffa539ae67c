#pragma once

#include <QString>

#include <vector>

namespace folvan::engine {

class PdfDocument;

// One range of page labels from the document's /PageLabels number tree: it
// starts at `firstPage` (zero-based) and runs to the next range.
// style: 'D' decimal, 'R' upper-case roman, 'r' lower-case roman, 'A'
// upper-case letters, 'a' lower-case letters, 0 for labels made of the
// prefix only.
struct PdfPageLabelRange {
    int firstPage = 0;
    char style = 0;
    QString prefix;
    int start = 1;

    friend bool operator==(const PdfPageLabelRange &, const PdfPageLabelRange &) = default;
};

// The label ranges of a document, sorted by first page; empty when the
// document has no /PageLabels. Malformed trees (cyclic /Kids, wrong types)
// give what can be read.
std::vector<PdfPageLabelRange> pageLabelRanges(const PdfDocument &document);

// The label of a page under the given ranges; empty when no range covers it.
QString pageLabel(const std::vector<PdfPageLabelRange> &ranges, int pageIndex);
// The label of one page of the document; empty when it has no label.
QString pageLabel(const PdfDocument &document, int pageIndex);

// The number in a label style: roman numerals or letters (1 = A, 26 = Z,
// 27 = AA, 53 = AAA), decimal for 'D', for unknown styles and for numbers
// out of the style's range (below 1, roman above 3999, letters above 2600).
QString formatPageNumber(int number, char style);

} // namespace folvan::engine
