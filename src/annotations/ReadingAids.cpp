#include "annotations/ReadingAids.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <set>

#include "annotations/AnnotationGeometry.h"
#include "annotations/Rects.h"
#include "engine/PdfPageLabels.h"
#include "engine/PdfSelection.h"

namespace folvan::annotations {

QString pageLabelOrNumber(const engine::PdfDocument &document, int index)
{
    if (index >= 0 && index < document.pageCount()) {
        const QString label = engine::pageLabel(document, index).trimmed();
        if (!label.isEmpty())
            return label;
    }
    return QString::number(index + 1);
}

namespace {

// The union of an item's rectangles; an item without rectangles has the
// null extent, whose edges are infinite.
struct Extent {
    double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;

    explicit Extent(const std::vector<QRectF> &rects)
    {
        for (const QRectF &r : rects) {
            left = std::min(left, minX(r));
            right = std::max(right, maxX(r));
            bottom = std::min(bottom, minY(r));
            top = std::max(top, maxY(r));
        }
    }
    bool isNull() const { return left > right; }
    double width() const { return isNull() ? 0 : right - left; }
    double centreY() const { return isNull() ? INFINITY : (bottom + top) / 2; }
    double topEdge() const { return isNull() ? INFINITY : top; }
};

} // namespace

std::vector<ReadingAnnotationItem> inReadingOrder(const std::vector<ReadingAnnotationItem> &items,
                                                  const engine::PdfPage &page)
{
    const QRectF frame = page.cropBox();
    const double pageWidth = maxX(frame) - minX(frame);
    std::vector<Extent> extents;
    std::vector<double> marks;
    for (const ReadingAnnotationItem &item : items) {
        extents.emplace_back(item.rectangles);
        if (extents.back().width() > 0.58 * pageWidth)
            marks.push_back(extents.back().centreY());
    }
    struct Key {
        size_t index;
        int band;
        bool right;
        double top;
        double left;
    };
    std::vector<Key> keys;
    for (size_t i = 0; i < items.size(); ++i) {
        const Extent &e = extents[i];
        const double centre = e.centreY();
        const int band = int(std::count_if(marks.begin(), marks.end(), [&](double m) { return m > centre; }));
        keys.push_back({i, band, e.left > midX(frame), e.topEdge(), e.left});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        if (a.band != b.band)
            return a.band < b.band;
        if (a.right != b.right)
            return !a.right;
        if (a.top != b.top)
            return a.top > b.top;
        return a.left < b.left;
    });
    std::vector<ReadingAnnotationItem> result;
    for (const Key &key : keys)
        result.push_back(items[key.index]);
    return result;
}

namespace {

QString quoteParagraph(const QString &quote)
{
    static const QRegularExpression newline(QStringLiteral("[\\x{000A}-\\x{000D}\\x{0085}\\x{2028}\\x{2029}]"));
    QStringList lines = quote.split(newline);
    for (QString &line : lines)
        line.prepend(QStringLiteral("> "));
    return lines.join(u'\n');
}

} // namespace

QString markdownSummary(const engine::PdfDocument &document, const std::vector<ReadingAnnotationItem> &items,
                        const QString &title)
{
    QStringList paragraphs;
    paragraphs << QStringLiteral("# ") + QString(title).replace(u'\n', u' ');
    paragraphs << QStringLiteral("从 Folvan 导出的高亮与批注。");

    std::set<std::int64_t> pages;
    for (const ReadingAnnotationItem &item : items)
        pages.insert(item.page);
    for (std::int64_t p : pages) {
        if (p < 0 || p >= document.pageCount())
            continue;
        const engine::PdfPage page = document.page(int(p));
        if (!page.isValid())
            continue;
        const QString number = QString::number(p + 1);
        const QString label = pageLabelOrNumber(document, int(p));
        QString heading = QStringLiteral("## 第 ") + label + QStringLiteral(" 页");
        if (label != number)
            heading += QStringLiteral("（PDF 第 ") + number + QStringLiteral(" 页）");
        paragraphs << heading;

        std::vector<ReadingAnnotationItem> onPage;
        std::copy_if(items.begin(), items.end(), std::back_inserter(onPage),
                     [&](const ReadingAnnotationItem &item) { return item.page == p; });
        for (const ReadingAnnotationItem &item : inReadingOrder(onPage, page)) {
            QString paragraph;
            const bool isNote = item.kind == QLatin1String("text") || item.kind == QLatin1String("freetext");
            if (!item.quote.isEmpty() && !isNote)
                paragraph = quoteParagraph(item.quote);
            if (!item.note.isEmpty()) {
                if (!paragraph.isEmpty())
                    paragraph += QStringLiteral("\n\n");
                paragraph += item.note;
            }
            if (!paragraph.isEmpty())
                paragraphs << paragraph;
        }
    }
    return paragraphs.join(QStringLiteral("\n\n")) + u'\n';
}

std::optional<engine::PdfAnnotation> linkAt(QPointF point, const engine::PdfPage &page)
{
    if (!page.isValid())
        return std::nullopt;
    for (engine::PdfAnnotation &annotation : engine::annotations(*page.document(), page.index())) {
        if (markupKind(annotation.subtype) == QLatin1String("link") && annotation.bounds.contains(point))
            return std::move(annotation);
    }
    return std::nullopt;
}

std::optional<engine::PdfDestination> linkDestination(const engine::PdfAnnotation &annotation)
{
    // The engine reads a go-to action's destination into the link's own.
    if (markupKind(annotation.subtype) != QLatin1String("link") || !annotation.destination
        || !annotation.destination->hasPage())
        return std::nullopt;
    return annotation.destination;
}

namespace {

// A coordinate a destination really gives: one that "unspecified"
// placeholders (absent, huge or not finite) do not stand for.
std::optional<double> usable(const std::optional<double> &coordinate)
{
    if (coordinate && std::isfinite(*coordinate) && std::abs(*coordinate) < 100'000)
        return coordinate;
    return std::nullopt;
}

// The whole text line a piece of text belongs to. The page's text may
// break one printed line into pieces (a justified reference list sets its
// words far apart): the pieces of like height on the piece's line, in its
// paragraph, that follow each other with gaps below two line heights are
// one line. A line of the next column is another paragraph, however
// narrow the gap between the columns.
QRectF wholeLine(const engine::PdfPage &page, const engine::PdfTextSpan &piece)
{
    const auto text = page.text();
    engine::PdfTextRange paragraph = piece.range;
    for (const engine::PdfTextSpan &block : text->blocks)
        if (block.range.location <= piece.range.location && piece.range.end() <= block.range.end())
            paragraph = block.range;
    QRectF whole = piece.bounds.normalized();
    for (bool grew = true; grew;) {
        grew = false;
        for (const engine::PdfTextSpan &line : text->lines) {
            const QRectF other = line.bounds.normalized();
            if (other.isEmpty() || whole.contains(other) || line.range.location < paragraph.location
                || line.range.end() > paragraph.end())
                continue;
            const double height = std::max(whole.height(), other.height());
            const double middle = other.center().y();
            if (middle < whole.top() || middle > whole.bottom() || std::abs(other.height() - whole.height()) > height / 2)
                continue;
            const double gap = other.left() >= whole.right() ? other.left() - whole.right() : whole.left() - other.right();
            if (gap > 2 * height)
                continue;
            whole |= other;
            grew = true;
        }
    }
    return whole;
}

// The text line at a point, whole: the line that holds the point (or the
// gap between two of its pieces); else the first line right of the point
// in its row when the point lies in that line's indent (a paragraph's
// first line, a list item's label, a reference's hanging indent), which a
// line just above or below it shows by reaching from the point to the
// line's start. Empty when no line is there: a point between columns, in
// a margin or beside a short line.
QRectF lineAt(const engine::PdfPage &page, QPointF point)
{
    const auto text = page.text();
    QRectF next;
    for (const engine::PdfTextSpan &piece : text->lines) {
        const QRectF bounds = piece.bounds.normalized();
        if (bounds.isEmpty() || point.y() < bounds.top() || point.y() > bounds.bottom())
            continue;
        const QRectF whole = wholeLine(page, piece);
        if (whole.contains(point))
            return whole;
        if (whole.left() > point.x() && (next.isNull() || whole.left() < next.left()))
            next = whole;
    }
    if (next.isNull())
        return QRectF();
    for (const engine::PdfTextSpan &line : text->lines) {
        const QRectF other = line.bounds.normalized();
        const double apart = std::max(other.top() - next.bottom(), next.top() - other.bottom());
        if (!other.isEmpty() && apart <= 2 * next.height() && other.left() <= point.x() && other.right() >= next.left())
            return next;
    }
    return QRectF();
}

} // namespace

std::optional<QRectF> previewRect(const std::shared_ptr<engine::PdfDocument> &document,
                                  const engine::PdfDestination &destination)
{
    const engine::PdfPage page(document, destination.pageIndex);
    if (!page.isValid())
        return std::nullopt;
    const QRectF box = page.cropBox();
    if (box.isEmpty())
        return std::nullopt;
    double top = maxY(box);
    if (const auto y = usable(destination.y))
        top = *y + 3;
    top = std::min(std::max(top, minY(box) + 20), maxY(box));

    double left = minX(box) + 12;
    double right = maxX(box) - 12;
    if (const auto x = usable(destination.x)) {
        // The text line at the point just under the destination's; a
        // point between columns, in a margin or beside a short line
        // keeps the page's width.
        const QPointF probe(*x + 6, top - 14);
        const QRectF line = box.contains(probe) ? lineAt(page, probe) : QRectF();
        if (line.width() > 60) {
            // An indent (a reference's number over it) is shown from the
            // point on.
            const double start = line.left() > probe.x() ? *x : line.left();
            left = std::max(minX(box), start - 10);
            right = std::min(maxX(box), line.right() + 10);
        }
    }
    const double bottom = std::max(minY(box), top - 150);
    const double height = std::min(top - minY(box), 150.0);
    const QRectF region(left, bottom, right - left, height);
    if (!(region.width() > 10 && region.height() > 10))
        return std::nullopt;
    return region;
}

double previewScale(QSizeF displayed, double maxWidth)
{
    return std::min({maxWidth / std::max(displayed.width(), 1.0), 240 / std::max(displayed.height(), 1.0), 1.35});
}

QImage previewImage(const std::shared_ptr<engine::PdfDocument> &document, const engine::PdfDestination &destination,
                    double maxWidth, double pixelRatio)
{
    const auto region = previewRect(document, destination);
    if (!region)
        return QImage();
    const engine::PdfPage page(document, destination.pageIndex);
    const double scale = previewScale(page.drawingTransform().mapRect(*region).size(), maxWidth);
    const double ratio = std::max(2.0, std::isfinite(pixelRatio) ? pixelRatio : 2.0);
    const double pixelsPerPoint = ratio * scale;
    const QRect pixels = page.rasterTransform(pixelsPerPoint).mapRect(*region).toAlignedRect();
    const auto list = page.displayList(true);
    QImage image = list ? list->render(pixelsPerPoint, pixels) : QImage();
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace folvan::annotations
