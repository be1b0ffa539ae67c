#pragma once

// The PDF's own annotations and the user's markups on the pages of an open
// document, in memory only: recording the originals under stable keys,
// installing one page annotation per drawn markup while hiding the
// originals that markups replace or tombstone, and the sorted list of
// annotation items.

#include <QHash>
#include <QString>
#include <QUuid>

#include <atomic>
#include <functional>
#include <map>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"

namespace folvan::annotations {

// An annotation of the PDF itself, with its key.
struct OriginalAnnotation {
    QString key;
    engine::PdfAnnotation annotation;
};

// Page index → the page's originals, in the page's order.
using OriginalAnnotationMap = std::map<int, std::vector<OriginalAnnotation>>;
// A markup as it was put on its page, and the annotation made for it (an
// invalid handle when the page would not take it).
struct InstalledMarkup {
    ReadingMarkup markup;
    engine::PdfAnnotationHandle handle;
};

// What a page shows of the markups: the markups put on it, in the order
// added, and which of its originals are hidden (by the originals' order).
// While `deferred`, the page's annotations wait in the document to be made
// when the page is first needed, and the markups' handles are not known.
struct InstalledPage {
    std::vector<InstalledMarkup> markups;
    std::vector<bool> hiddenOriginals;
    bool deferred = false;
};

// Page index → what is installed on that page.
using InstalledAnnotationMap = std::map<int, InstalledPage>;

// Whether an annotation kind takes part as an original: highlight,
// underline, strikeout, squiggly, text or freetext.
bool isOriginalKind(const QString &kind);

// The key of an original: the SHA-256 (lower-case hex) of
// "page|ordinal|kind|rectangles|contents|user name", where ordinal counts
// only the page's annotations of the original kinds.
QString originalKey(int pageIndex, int ordinal, const engine::PdfAnnotation &annotation);

// The originals of one page of the document, in the page's order.
std::vector<OriginalAnnotation> recordPageOriginals(const engine::PdfDocument &document, int pageIndex);
// The originals of every page of the document but `skipped` (none when -1);
// those of the pages read before `stopped` was set, once it is.
OriginalAnnotationMap recordOriginals(const engine::PdfDocument &document, int skipped = -1,
                                      const std::atomic_bool *stopped = nullptr);

// Brings the pages in step with `markups`: hides every original named by
// a markup's source key (or carrying the name of a current markup) and
// shows the others, and keeps one annotation per drawn markup. Only what
// differs from `installed` is touched: the annotations of markups gone or
// changed are removed, new ones made, and `pageChanged` is told each page
// whose annotations changed. The annotations of a page that holds none of
// the markups yet are made only when the document first needs the page
// (drawn, read, written). Returns how many markups are not on their pages
// (a damaged page takes none); the markups themselves are kept.
int installMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                    InstalledAnnotationMap &installed, const std::vector<ReadingMarkup> &markups,
                    const std::function<void(int)> &pageChanged = {});

// Takes the installed annotations off their pages and shows every original
// again: the document as it was opened. `pageChanged` is told each page
// that held some.
void uninstallMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                      InstalledAnnotationMap &installed, const std::function<void(int)> &pageChanged = {});

// The items of markups as last listed, by markup id, so that a long list
// is built again making items only for the markups that changed.
using MarkupItemCache = QHash<QUuid, std::pair<ReadingMarkup, ReadingAnnotationItem>>;

// The listed items: the originals that no markup covers and every markup
// that is not a tombstone, by page, then top edge (higher first), then
// left edge; stable.
std::vector<ReadingAnnotationItem> buildItems(const engine::PdfDocument &document,
                                              const OriginalAnnotationMap &originals,
                                              const std::vector<ReadingMarkup> &markups,
                                              MarkupItemCache *cache = nullptr);

// The colour an annotation shows, yellow when it has none.
engine::PdfColor colorOf(const engine::PdfAnnotation &annotation);

} // namespace folvan::annotations
