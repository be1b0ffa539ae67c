#pragma once

// Reading operations on a document's annotations: the printed label of a
// page, the reading order of a page's annotation items, and the Markdown
// summary of the annotations.

#include <QString>

#include <memory>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfDocument.h"

namespace folvan::ReadingAids {

// The page's own label trimmed of white space, or the one-based page number
// when the page has no label or a blank one.
QString pageLabel(const engine::PdfDocument &document, int index);

// The items of one page in reading order for papers set in two columns:
// items wider than 0.58 of the page cut it into bands; within a band the
// left column comes before the right, and within a column the higher top
// edge first, then the smaller left edge. Stable.
std::vector<ReadingAnnotationItem> ordered(const std::vector<ReadingAnnotationItem> &items,
                                           const engine::PdfPage &page);

// The Markdown summary: a title, a line naming the source, then a heading
// per page and the quotes and notes of its items in reading order.
QString markdown(const engine::PdfDocument &document, const std::vector<ReadingAnnotationItem> &items,
                 const QString &title);

} // namespace folvan::ReadingAids
