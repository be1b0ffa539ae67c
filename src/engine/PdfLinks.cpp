#include "engine/PdfLinks.h"

#include "engine/PdfDocument.h"

namespace folvan::engine {

std::vector<PdfLink> links(const PdfDocument &document, int pageIndex)
{
    std::vector<PdfLink> result;
    for (PdfAnnotation &a : annotations(document, pageIndex)) {
        if (a.subtype != u"Link")
            continue;
        result.push_back(PdfLink{a.handle, a.bounds, std::move(a.destination), std::move(a.uri)});
    }
    return result;
}

std::optional<PdfLink> linkAt(const PdfDocument &document, int pageIndex, QPointF point)
{
    for (PdfLink &link : links(document, pageIndex)) {
        const QRectF &r = link.bounds;
        // Edges count as inside.
        if (point.x() >= r.left() && point.x() <= r.right() && point.y() >= r.top() && point.y() <= r.bottom())
            return std::move(link);
    }
    return std::nullopt;
}

} // namespace folvan::engine
