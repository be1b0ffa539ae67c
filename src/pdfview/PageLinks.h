#pragma once

#include <optional>
#include <vector>

#include <QPointF>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDestination.h"

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::pdfview {

// Whether an annotation is a link: its subtype, without slashes at either
// end and in lower case, is "link".
bool isLinkAnnotation(const engine::PdfAnnotation &annotation);

// The link annotations of a page, in the page's annotation order.
std::vector<engine::PdfAnnotation> linkAnnotations(const engine::PdfDocument &document, int pageIndex);

// Where a link goes in its document: its destination (the go-to action's
// when the link has no destination of its own), only when that names a page
// of a document with `pageCount` pages. None for web links.
std::optional<engine::PdfDestination> linkDestination(const engine::PdfAnnotation &link, int pageCount);

} // namespace folvan::pdfview
