#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDestination.h"

namespace folvan::engine {

class PdfDocument;

// One link area of a page: its rectangle in the page's user space and its
// target, a go-to destination or a URI exactly as the file gives it (the
// callers decide which schemes to follow). A link whose target cannot be
// resolved has neither.
struct PdfLink {
    PdfAnnotationHandle handle;
    QRectF bounds;
    std::optional<PdfDestination> destination;
    QString uri;
};

// The link annotations of a page in /Annots order.
std::vector<PdfLink> links(const PdfDocument &document, int pageIndex);
// The first link of the page whose rectangle holds the point (user space).
std::optional<PdfLink> linkAt(const PdfDocument &document, int pageIndex, QPointF point);

} // namespace folvan::engine
