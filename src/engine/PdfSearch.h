#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QRectF>
#include <QString>

#include "engine/PdfSelection.h"

namespace folvan::engine {

class PdfDocument;

struct PdfSearchOptions {
    // Letters match whatever their case.
    bool caseInsensitive = true;
};

// The matches found on one page, in the order of the page string.
struct PdfPageMatches {
    int page = 0;
    // Each match in its pieces of the page string: one range, or, where a
    // word broken by a hyphen at a line's end goes on at the next line of
    // its column past other lines of the string (a margin note), one piece
    // on either side of those lines.
    std::vector<std::vector<PdfTextRange>> ranges;
    // For each match, the bounds of its pieces line by line (PDF user
    // space); a piece without a visible box is left out.
    std::vector<std::vector<QRectF>> lineBounds;
};

// Searches the page strings of `document` for `query`, page after page from
// the first, and hands `found` the matches of every page that has some, in
// page order, on the calling thread. The query is matched as typed (not
// trimmed); a white-space character of the query matches any white space of
// the text, a line break included, so a match may run over lines. A word
// hyphenated at a line's end matches whole, its second part on the next
// line of its column, wherever the page string puts that line, and never
// in a margin note. An empty query finds nothing. The document's lock is
// held only while a page's text is read, and a page's boxes are read only
// when it has matches or when a note in its margin is read as one line with
// the line such a word goes on at. `stop` is looked at before every page:
// once it is true the search ends. Returns whether it went through every
// page.
bool searchPages(const std::shared_ptr<PdfDocument> &document, const QString &query, PdfSearchOptions options,
                 const std::atomic_bool *stop, const std::function<void(PdfPageMatches &&)> &found);

// Every match of `query` in the page strings of `document`, in document
// order, each a selection in the page-string indexing (as searchPages).
// When `stop` becomes true the search ends early with the matches found so
// far.
std::vector<PdfSelection> findAll(const std::shared_ptr<PdfDocument> &document, const QString &query,
                                  PdfSearchOptions options = {}, const std::atomic_bool *stop = nullptr);

// The bounds of the pieces of `range` line by line on a page with `text`:
// each the union of the piece's boxes that have a width and a height, left
// out when there are none.
std::vector<QRectF> lineBounds(const PdfPageText &text, PdfTextRange range);

} // namespace folvan::engine
