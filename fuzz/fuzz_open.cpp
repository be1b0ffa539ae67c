// Opens the input as a PDF and walks what the engine offers: pages, their
// geometry, text, selections, annotations, links, labels, content
// operators and a small raster, the outline and the annotated copy.
// Malformed input must neither crash nor hang the process.

#include "engine/PdfAnnotation.h"
#include "engine/PdfContentProcessor.h"
#include "engine/PdfDocument.h"
#include "engine/PdfLinks.h"
#include "engine/PdfPageLabels.h"
#include "engine/PdfSelection.h"

#include <cstddef>
#include <cstdint>

using namespace folvan::engine;

namespace {

// Pages walked per input, to keep each run short.
constexpr int kMaxPages = 4;

class CountingHandler : public PdfContentHandler {
public:
    bool onOperator(const PdfContentOperator &op) override
    {
        sum += op.operand(0) + op.ctm.dx();
        return true;
    }
    double sum = 0;
};

void walkOutline(const std::vector<PdfOutlineItem> &items, int &count)
{
    for (const PdfOutlineItem &item : items) {
        if (++count > 10000)
            return;
        walkOutline(item.children, count);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::shared_ptr<PdfDocument> doc = PdfDocument::openData(bytes);
    if (!doc)
        return 0;
    int outlineCount = 0;
    walkOutline(doc->outline(), outlineCount);
    const std::vector<PdfPageLabelRange> labels = pageLabelRanges(*doc);
    const int pages = std::min(doc->pageCount(), kMaxPages);
    for (int i = 0; i < pages; ++i) {
        PdfPage page = doc->page(i);
        (void)page.cropBox();
        (void)page.rotation();
        (void)page.drawingTransform();
        (void)pageLabel(labels, i);
        const QString text = page.string();
        if (!text.isEmpty()) {
            const QRectF crop = page.cropBox();
            (void)page.selection(crop).string();
            (void)page.selectionForWord(crop.center()).string();
            (void)page.characterIndexAt(crop.center(), true);
        }
        for (const PdfAnnotation &a : annotations(*doc, i, true))
            (void)a.subtype.size();
        for (const PdfLink &l : links(*doc, i))
            (void)l.bounds;
        CountingHandler handler;
        processPageContents(*doc, i, handler, PdfContentLimits{20000, 8});
        (void)page.renderFitting(48, true);
    }
    if (pages > 0) {
        PdfNewAnnotation blueprint;
        blueprint.rects = {QRectF(10, 10, 20, 5)};
        blueprint.userName = QStringLiteral("Folvan:FUZZ");
        const PdfAnnotationHandle handle = createAnnotation(*doc, 0, blueprint);
        setAnnotationHidden(*doc, handle, true);
        (void)annotatedCopyData(*doc);
        setAnnotationHidden(*doc, handle, false);
        removeAnnotation(*doc, handle);
    }
    return 0;
}
