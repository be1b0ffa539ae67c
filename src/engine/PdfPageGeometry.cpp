#include "engine/PdfPageGeometry.h"

#include "engine/PdfContentProcessor.h"
#include "engine/PdfDocument.h"
#include "engine/PdfLinks.h"
#include "engine/PdfPage.h"

#include <algorithm>
#include <cmath>

namespace folvan::engine {

namespace {

// A bounding box that may be empty (no point yet) or of zero size (one
// point): QRectF::united would drop the latter.
struct Bounds {
    bool null = true;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    void add(QPointF p)
    {
        if (null) {
            x0 = x1 = p.x();
            y0 = y1 = p.y();
            null = false;
            return;
        }
        x0 = std::min(x0, p.x());
        y0 = std::min(y0, p.y());
        x1 = std::max(x1, p.x());
        y1 = std::max(y1, p.y());
    }
    QRectF rect() const { return QRectF(QPointF(x0, y0), QPointF(x1, y1)); }
};

// The overlap of two rectangles, edges included; nothing when they do not
// meet.
std::optional<QRectF> overlap(const QRectF &a, const QRectF &b)
{
    const double x0 = std::max(a.left(), b.left()), x1 = std::min(a.right(), b.right());
    const double y0 = std::max(a.top(), b.top()), y1 = std::min(a.bottom(), b.bottom());
    if (!(x0 <= x1 && y0 <= y1))
        return std::nullopt;
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

bool meets(const QRectF &a, const QRectF &b) { return overlap(a, b).has_value(); }

QRectF unite(const QRectF &a, const QRectF &b)
{
    return QRectF(QPointF(std::min(a.left(), b.left()), std::min(a.top(), b.top())),
                  QPointF(std::max(a.right(), b.right()), std::max(a.bottom(), b.bottom())));
}

// Collects the candidate areas and rules of one page, forms included.
class GeometryScan : public PdfContentHandler {
public:
    std::vector<QRectF> rectangles;
    std::vector<QRectF> rules;

    bool onOperator(const PdfContentOperator &op) override
    {
        for (int i = 0; i < op.operandCount; ++i) {
            if (!std::isfinite(op.operands[size_t(i)]))
                return true; // a malformed operator is skipped
        }
        auto add = [&](double x, double y) { m_path.add(op.ctm.map(QPointF(x, y))); };
        switch (op.op) {
        case PdfContentOp::MoveTo:
        case PdfContentOp::LineTo:
            add(op.operand(0), op.operand(1));
            break;
        case PdfContentOp::CurveTo:
            for (int i = 0; i < 6; i += 2)
                add(op.operand(i), op.operand(i + 1));
            break;
        case PdfContentOp::CurveToV:
        case PdfContentOp::CurveToY:
            for (int i = 0; i < 4; i += 2)
                add(op.operand(i), op.operand(i + 1));
            break;
        case PdfContentOp::Rectangle: {
            const double x = op.operand(0), y = op.operand(1), w = op.operand(2), h = op.operand(3);
            add(x, y);
            add(x + w, y);
            add(x + w, y + h);
            add(x, y + h);
            break;
        }
        case PdfContentOp::EndPath:
            m_path = Bounds();
            break;
        case PdfContentOp::DrawXObject:
            // Objects are followed only up to the seventh nested form.
            if (op.depth <= 7 && op.xobject && op.xobject->subtype == "Image"
                && rectangles.size() < size_t(PdfPageGeometryLimits::maxRectangles))
                rectangles.push_back(op.ctm.mapRect(QRectF(0, 0, 1, 1)));
            break;
        default:
            if (isPaintingOperator(op.op))
                paint();
            break;
        }
        return true;
    }

    bool enterForm(const PdfContentOperator &op) override
    {
        if (op.depth > 7)
            return false;
        m_savedPaths.push_back(m_path);
        return true;
    }

    void leaveForm(const PdfContentOperator &) override
    {
        m_path = m_savedPaths.back();
        m_savedPaths.pop_back();
    }

private:
    void paint()
    {
        if (!m_path.null) {
            const QRectF r = m_path.rect();
            const double w = r.width(), h = r.height();
            const bool room = rules.size() < size_t(PdfPageGeometryLimits::maxRules);
            if (w > 24 && h <= 2 && room)
                rules.push_back(r.adjusted(0, -0.15, 0, 0.15));
            else if (h > 24 && w <= 2 && room)
                rules.push_back(r.adjusted(-0.15, 0, 0.15, 0));
            if (w > 2 && h > 2 && rectangles.size() < size_t(PdfPageGeometryLimits::maxRectangles))
                rectangles.push_back(r);
        }
        m_path = Bounds();
    }

    Bounds m_path;
    std::vector<Bounds> m_savedPaths;
};

// Adds `r` to the merged areas: every area that `r` meets when grown by 5
// points is taken into it, pass after pass, before it is appended.
void merge(std::vector<QRectF> &merged, QRectF r)
{
    for (;;) {
        bool removed = false;
        for (size_t i = merged.size(); i-- > 0;) {
            if (meets(merged[i].adjusted(-5, -5, 5, 5), r)) {
                r = unite(r, merged[i]);
                merged.erase(merged.begin() + std::ptrdiff_t(i));
                removed = true;
            }
        }
        if (!removed)
            break;
    }
    merged.push_back(r);
}

// A rectangle of the displayed page (points, y up) as fractions, origin
// top left.
QRectF fractions(const QRectF &r, double width, double height)
{
    return QRectF(r.left() / width, 1 - r.bottom() / height, r.width() / width, r.height() / height);
}

// A rectangle of the displayed page (points, y up) with its origin moved to
// the top left.
QRectF topLeft(const QRectF &r, double height) { return QRectF(r.left(), height - r.bottom(), r.width(), r.height()); }

double clampFraction(double v)
{
    if (std::isnan(v) || v < 0)
        return 0;
    return std::min(v, 1.0);
}

std::optional<PdfGeometryLink> mapLink(const PdfLink &link, const PdfPage &page, const QTransform &t,
                                       const QRectF &frame)
{
    if (!link.destination || !link.destination->hasPage())
        return std::nullopt;
    const PdfDocument &document = *page.document();
    const int target = link.destination->pageIndex;
    if (target < 0 || target >= document.pageCount())
        return std::nullopt;
    const std::optional<QRectF> area = overlap(t.mapRect(link.bounds), frame);
    if (!area || area->width() <= 0 || area->height() <= 0)
        return std::nullopt;
    const PdfPage targetPage = page.document()->page(target);
    const QSizeF size = targetPage.displaySize();
    if (!(size.width() > 0 && size.height() > 0))
        return std::nullopt;
    const QPointF point = targetPage.drawingTransform().map(link.destination->point());

    PdfGeometryLink result;
    result.page = target;
    result.x = clampFraction(point.x() / size.width());
    result.y = clampFraction(1 - point.y() / size.height());
    result.label = page.selection(link.bounds).string().left(200).replace(u'\n', u' ');
    result.rect = topLeft(*area, frame.height());
    return result;
}

} // namespace

PdfPageGeometry pageGeometry(const PdfPage &page)
{
    PdfPageGeometry result;
    if (!page.isValid())
        return result;
    GeometryScan scan;
    processPageContents(*page.document(), page.index(), scan);

    const QSizeF size = page.displaySize();
    const double wp = size.width(), hp = size.height();
    if (!(wp > 0 && hp > 0))
        return result;
    const QTransform t = page.drawingTransform();
    const QRectF frame(0, 0, wp, hp);

    std::vector<QRectF> merged;
    for (const QRectF &candidate : scan.rectangles) {
        const std::optional<QRectF> r = overlap(t.mapRect(candidate), frame);
        if (!r || r->width() <= 3 || r->height() <= 3 || !(r->width() * r->height() < 0.85 * wp * hp))
            continue;
        merge(merged, *r);
    }
    for (const QRectF &r : merged) {
        if (r.width() > 24 && r.height() > 18)
            result.graphics.push_back(fractions(r, wp, hp));
    }
    for (const QRectF &candidate : scan.rules) {
        const std::optional<QRectF> r = overlap(t.mapRect(candidate), frame);
        if (r && r->width() > 24 && r->height() < 3)
            result.rules.push_back(fractions(*r, wp, hp));
    }
    return result;
}

PdfPageGeometry verifiedPageGeometry(const PdfPage &page)
{
    PdfPageGeometry result = pageGeometry(page);
    if (!page.isValid() || page.rotation() != 0)
        return result;
    const std::shared_ptr<const PdfPageText> text = page.text();
    if (!text || text->string.isEmpty() || text->string.size() > PdfPageGeometryLimits::maxTextLength)
        return result;
    const QSizeF size = page.displaySize();
    if (!(size.width() > 0 && size.height() > 0))
        return result;
    const QTransform t = page.drawingTransform();
    const QRectF frame(0, 0, size.width(), size.height());

    std::vector<PdfGeometryLink> links;
    std::vector<PdfLink> pageLinks = engine::links(*page.document(), page.index());
    if (pageLinks.size() > size_t(PdfPageGeometryLimits::maxLinks))
        pageLinks.resize(size_t(PdfPageGeometryLimits::maxLinks));
    for (const PdfLink &link : pageLinks) {
        if (std::optional<PdfGeometryLink> mapped = mapLink(link, page, t, frame))
            links.push_back(std::move(*mapped));
    }
    result.links = std::move(links);

    std::vector<PdfGeometryLine> lines;
    const size_t lineCount = std::min(text->lines.size(), size_t(PdfPageGeometryLimits::maxLines));
    for (size_t i = 0; i < lineCount; ++i) {
        const PdfTextSpan &line = text->lines[i];
        const QString lineText = text->string.mid(line.range.location, line.range.length).trimmed();
        if (lineText.isEmpty())
            continue;
        const std::optional<QRectF> r = overlap(t.mapRect(line.bounds), frame);
        if (!r || r->width() <= 0 || r->height() <= 0)
            continue;
        lines.push_back({lineText, topLeft(*r, frame.height())});
    }
    result.nativeLines = std::move(lines);
    return result;
}

} // namespace folvan::engine
