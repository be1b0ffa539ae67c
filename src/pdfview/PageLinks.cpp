#include "pdfview/PageLinks.h"

#include "engine/PdfDocument.h"

namespace folvan::pdfview {

bool isLinkAnnotation(const engine::PdfAnnotation &annotation)
{
    QStringView type = annotation.subtype;
    while (type.startsWith(u'/'))
        type = type.mid(1);
    while (type.endsWith(u'/'))
        type.chop(1);
    return type.compare(u"link", Qt::CaseInsensitive) == 0;
}

std::vector<engine::PdfAnnotation> linkAnnotations(const engine::PdfDocument &document, int pageIndex)
{
    std::vector<engine::PdfAnnotation> links;
    for (engine::PdfAnnotation &annotation : engine::annotations(document, pageIndex)) {
        if (isLinkAnnotation(annotation))
            links.push_back(std::move(annotation));
    }
    return links;
}

std::optional<engine::PdfDestination> linkDestination(const engine::PdfAnnotation &link, int pageCount)
{
    if (!isLinkAnnotation(link) || !link.destination)
        return std::nullopt;
    if (link.destination->pageIndex < 0 || link.destination->pageIndex >= pageCount)
        return std::nullopt;
    return link.destination;
}

} // namespace folvan::pdfview
