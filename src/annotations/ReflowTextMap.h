#pragma once

// Ties the text shown by the reflow view to the page's own text and
// geometry: finds a reflow passage on its page, turns a page selection into
// passages, and describes an annotation rectangle by rectangle for the
// reflow page. Page fractions are [x, y, width, height] of the displayed
// page (the crop box turned by the page's rotation), origin top left, y
// down. Failures give an absent or empty result.

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <optional>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfDocument.h"
#include "model/ReadingTextSource.h"
#include "platform/StoredJson.h"

namespace folvan::annotations {

// A folded copy of a string (compatibility-decomposed, marks dropped,
// lower-cased, only letters, marks and numbers kept) with, for every UTF-16
// unit of the folded text, the range of the input's composed character
// sequence it came from.
struct FoldedText {
    explicit FoldedText(const QString &input);

    QString text;
    std::vector<int> starts;
    std::vector<int> ends;
};

// The page's drawing transform into its displayed frame and that frame's
// size.
struct PageViewport {
    QTransform transform;
    QSizeF size;
};

std::optional<PageViewport> pageViewport(const engine::PdfPage &page);

// A page-space rectangle as page fractions, clipped to the displayed page.
std::optional<std::vector<double>> pageFractions(const QRectF &pageRect, const engine::PdfPage &page);

// The passage's page-space rectangle: its `pdfRect`, else its fractions
// mapped back to page space.
std::optional<QRectF> passagePdfRect(const model::ReadingTextSource &source, const engine::PdfPage &page);

// The selection of the passage in its page's text, found by its folded
// quote, narrowed by its place on the page and chosen by its context;
// nothing when it is missing or ambiguous.
std::optional<engine::PdfSelection> passageSelection(const model::ReadingTextSource &source,
                                                     const std::shared_ptr<engine::PdfDocument> &document);

// One passage per page of the selection, in page order.
std::vector<model::ReadingTextSource> selectionPassages(const engine::PdfSelection &selection,
                                                        const std::shared_ptr<engine::PdfDocument> &document);

// The item's rectangles (at most 250) as fragments for the reflow page:
// "id", "page", "kind", "note", "quote", "before", "after", "rect", "color".
std::vector<platform::json> reflowFragments(const ReadingAnnotationItem &item, const engine::PdfPage &page);

} // namespace folvan::annotations
