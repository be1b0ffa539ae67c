#include "annotations/ReadingAids.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

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

// A text line of a page as it is shown: its box in the upright page (the
// crop box turned by /Rotate, at the origin, y up), and its text.
struct ShownLine {
    QRectF box;
    engine::PdfTextRange range;
};

std::vector<ShownLine> shownLines(const engine::PdfPageText &text, const QTransform &toShown)
{
    std::vector<ShownLine> lines;
    for (const engine::PdfTextSpan &line : text.lines) {
        const QRectF box = toShown.mapRect(line.bounds.normalized());
        if (!box.isEmpty())
            lines.push_back({box, line.range});
    }
    return lines;
}

// The whole text line a piece of text belongs to. The page's text may
// break one printed line into pieces (a justified reference list sets its
// words far apart): the pieces of like height on the piece's line, in its
// paragraph, that follow each other with gaps below two line heights are
// one line. A line of the next column is another paragraph, however
// narrow the gap between the columns.
QRectF wholeLine(const engine::PdfPageText &text, const std::vector<ShownLine> &lines, const ShownLine &piece)
{
    engine::PdfTextRange paragraph = piece.range;
    for (const engine::PdfTextSpan &block : text.blocks)
        if (block.range.location <= piece.range.location && piece.range.end() <= block.range.end())
            paragraph = block.range;
    QRectF whole = piece.box;
    for (bool grew = true; grew;) {
        grew = false;
        for (const ShownLine &line : lines) {
            const QRectF &other = line.box;
            if (whole.contains(other) || line.range.location < paragraph.location || line.range.end() > paragraph.end())
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

// The lines whose middle lies between two heights: the lines a region of
// that height crosses.
std::vector<const ShownLine *> linesBetween(const std::vector<ShownLine> &lines, double bottom, double top)
{
    std::vector<const ShownLine *> found;
    for (const ShownLine &line : lines) {
        if (line.box.center().y() >= bottom && line.box.center().y() <= top)
            found.push_back(&line);
    }
    return found;
}

// The line a destination at `x` starts, among the lines a region crosses:
// the highest one that holds the point 6 points right of `x`, or that
// starts right of `x` within three of its heights and at least 30 points
// (a paragraph's indent, a heading's number, a label set in the margin
// before it, or an author-year list whose entries' anchors stand in the
// margin where a number would).
const ShownLine *lineStartedAt(const std::vector<const ShownLine *> &lines, double x)
{
    const ShownLine *first = nullptr;
    for (const ShownLine *line : lines) {
        const QRectF &box = line->box;
        const bool holds = box.left() <= x + 6 && box.right() >= x + 6;
        const bool indented = box.left() >= x - 1 && box.left() <= x + std::max(3 * box.height(), 30.0);
        if ((holds || indented) && (!first || box.center().y() > first->box.center().y()))
            first = line;
    }
    return first;
}

// Whether a line stands just beside another in its row: a label set in
// the margin against its text, less than three quarters of a line's height
// away (a gutter between columns is wider).
bool besideInRow(const QRectF &line, const QRectF &other)
{
    const double height = std::max(line.height(), other.height());
    const double gap = line.left() >= other.right() ? line.left() - other.right() : other.left() - line.right();
    return std::abs(line.center().y() - other.center().y()) < height / 2 && gap <= 0.75 * height;
}

// The span across of the lines that share a column with `start`: its own
// extent, widened by every line that overlaps it across, or stands just
// beside one of its lines in their row, until none does. A line of the
// other column never overlaps; one spanning both columns (a wide table or
// figure's caption) takes in both.
std::pair<double, double> columnOf(QRectF start, const std::vector<const ShownLine *> &lines)
{
    double left = start.left(), right = start.right();
    const auto inSpan = [&](const QRectF &box) { return box.right() > left && box.left() < right; };
    for (bool grew = true; grew;) {
        grew = false;
        for (const ShownLine *line : lines) {
            const QRectF &box = line->box;
            if (box.left() >= left && box.right() <= right)
                continue;
            const bool joins = inSpan(box) || std::any_of(lines.begin(), lines.end(), [&](const ShownLine *other) {
                                   return inSpan(other->box) && besideInRow(box, other->box);
                               });
            if (joins) {
                left = std::min(left, box.left());
                right = std::max(right, box.right());
                grew = true;
            }
        }
    }
    return {left, right};
}

// The boxes of the lines that overlap a span across, less those more than
// three times as high as their median: a glyph whose font claims the
// height of a whole formula (a large bracket or root) stands over several
// lines and between none.
std::vector<QRectF> linesAcross(const std::vector<ShownLine> &lines, double left, double right)
{
    std::vector<QRectF> found;
    std::vector<double> heights;
    for (const ShownLine &line : lines) {
        if (line.box.right() > left && line.box.left() < right) {
            found.push_back(line.box);
            heights.push_back(line.box.height());
        }
    }
    if (heights.empty())
        return found;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const double tallest = 3 * heights[heights.size() / 2];
    found.erase(std::remove_if(found.begin(), found.end(), [&](const QRectF &box) { return box.height() > tallest; }),
                found.end());
    return found;
}

// Whether a line's box reaches more than half a point above and below a
// height: an edge there would cut it.
bool runsThrough(const QRectF &box, double y)
{
    return box.top() < y - 0.5 && box.bottom() > y + 0.5;
}

// How high a line's glyphs reach: its box reaches as high as its font's
// tallest glyph, and the upper quarter stands mostly blank over the text.
double inkTop(const QRectF &box)
{
    return box.bottom() - box.height() / 4;
}

// Where an edge between two lines falls: ten points from the line the
// region keeps, short of half the way to the other. The boxes of lines set
// close overlap; then the edge is the lower edge of the line above (its
// box reaches as low as its glyphs), or half way from there to the glyphs
// of the line below where these reach higher.
double edgeBetween(const QRectF &below, const QRectF &above, bool keepsBelow)
{
    if (above.top() < below.bottom())
        return std::max(above.top(), (above.top() + inkTop(below)) / 2);
    const double margin = std::min(10.0, (above.top() - below.bottom()) / 2);
    return keepsBelow ? below.bottom() + margin : above.top() - margin;
}

// The upper edge of a region whose band begins at `top`, its destination
// at `start`, among the lines across it: `top` when it cuts none; else
// between the target's first line (the highest whose middle lies under
// `start`) and the line before it.
double upperEdge(const std::vector<QRectF> &lines, double top, double start)
{
    const QRectF *first = nullptr, *before = nullptr;
    bool cut = false;
    for (const QRectF &box : lines) {
        cut = cut || runsThrough(box, top);
        if (box.center().y() <= start) {
            if (!first || box.bottom() > first->bottom())
                first = &box;
        } else if (!before || box.top() < before->top()) {
            before = &box;
        }
    }
    if (!cut || !first)
        return top;
    return before ? edgeBetween(*first, *before, true) : first->bottom() + 10;
}

// The lower edge of a region whose top is `top`, among the lines across
// it, `floor` at the lowest: `floor` when it cuts none; else between the
// lowest line it can show whole and the line under it. Two lines whose
// glyphs overlap by a quarter of their height (pieces of one row, a
// superscript and its line, lines of two columns) have no edge between
// them; without an edge in the band's lower half the region keeps `floor`.
double lowerEdge(const std::vector<QRectF> &lines, double top, double floor)
{
    std::vector<QRectF> under;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(under),
                 [&](const QRectF &box) { return box.center().y() < top; });
    if (std::none_of(under.begin(), under.end(), [&](const QRectF &box) { return runsThrough(box, floor); }))
        return floor;
    std::sort(under.begin(), under.end(),
              [](const QRectF &a, const QRectF &b) { return a.center().y() < b.center().y(); });
    for (const QRectF &lowest : under) {
        const QRectF *over = nullptr, *beneath = nullptr;
        for (const QRectF &box : under) {
            if (box.center().y() >= lowest.center().y()) {
                if (!over || box.top() < over->top())
                    over = &box;
            } else if (!beneath || box.bottom() > beneath->bottom()) {
                beneath = &box;
            }
        }
        if (!beneath
            || inkTop(*beneath) - over->top() >= 0.75 * std::min(over->height(), beneath->height()) / 4)
            continue;
        const double edge = edgeBetween(*beneath, *over, false);
        if (edge >= floor)
            return edge <= (top + floor) / 2 ? edge : floor;
    }
    return floor;
}

// Whether a point is where a link to the page itself goes: above all the
// page's text, its running head included, and not right of its left edge.
bool isPageTop(const std::vector<ShownLine> &lines, double x, double top)
{
    double left = INFINITY;
    for (const ShownLine &line : lines) {
        if (line.box.bottom() > top)
            return false;
        left = std::min(left, line.box.left());
    }
    return x <= left + 6;
}

} // namespace

std::optional<QRectF> previewRect(const std::shared_ptr<engine::PdfDocument> &document,
                                  const engine::PdfDestination &destination)
{
    const engine::PdfPage page(document, destination.pageIndex);
    if (!page.isValid())
        return std::nullopt;
    if (page.cropBox().isEmpty())
        return std::nullopt;
    // All in the page as shown, upright: a page turned by /Rotate (a
    // landscape table) reads across its turned lines. Across and down there
    // come from the destination's y and x on a page turned by 90 or 270.
    const QTransform toShown = page.drawingTransform();
    const QRectF box(QPointF(0, 0), page.displaySize());
    const bool turned = std::abs(toShown.m11()) < 0.5;
    const auto x = usable(destination.x), y = usable(destination.y);
    const QPointF point = toShown.map(QPointF(x.value_or(0), y.value_or(0)));
    // Whether the destination names a place across, and down, the page as
    // shown.
    const bool placedAcross = (turned ? y : x).has_value();
    const bool placedDown = (turned ? x : y).has_value();

    double top = maxY(box);
    if (placedDown)
        top = point.y() + 3;
    top = std::min(std::max(top, minY(box) + 20), maxY(box));
    // The target begins under the destination's point: a line whose middle
    // lies above it comes before the target (a reference list's anchor
    // stands on the baseline of the entry before).
    const double start = placedDown ? std::min(point.y(), top) : top;

    // The region shows the lines it crosses whole: across, the column of
    // the line the destination starts, or, for a destination that names no
    // place on a line (a page, a point above the text or beside it), the
    // width of all the text it crosses.
    const auto text = page.text();
    const std::vector<ShownLine> all = shownLines(*text, toShown);
    const bool inColumn = placedAcross && point.x() >= minX(box) && point.x() <= maxX(box)
                          && !isPageTop(all, point.x(), top);
    const auto spanAcross = [&](double bandBottom, double bandTop) -> std::pair<double, double> {
        const auto lines = linesBetween(all, bandBottom, bandTop);
        std::optional<std::pair<double, double>> span;
        if (inColumn) {
            if (const ShownLine *first = lineStartedAt(lines, point.x()))
                span = columnOf(wholeLine(*text, all, *first), lines);
        }
        if (!span && !lines.empty()) {
            span = {INFINITY, -INFINITY};
            for (const ShownLine *line : lines) {
                span->first = std::min(span->first, line->box.left());
                span->second = std::max(span->second, line->box.right());
            }
        }
        if (!span)
            return {minX(box) + 12, maxX(box) - 12};
        // Ten points of margin, short of half the way to a line beside
        // the span (the next column, numbers in the margin).
        double left = std::max(minX(box), span->first - 10);
        double right = std::min(maxX(box), span->second + 10);
        for (const ShownLine *line : lines) {
            if (line->box.right() <= span->first)
                left = std::max(left, (line->box.right() + span->first) / 2);
            else if (line->box.left() >= span->second)
                right = std::min(right, (line->box.left() + span->second) / 2);
        }
        return {left, right};
    };
    auto [left, right] = spanAcross(std::max(minY(box), top - 150), start);
    // Down, its top and bottom fall between the lines of that span, as
    // its sides do; a new top takes the span of the lines under it.
    const double shownTop = std::min(upperEdge(linesAcross(all, left, right), top, start), maxY(box));
    if (shownTop != top) {
        top = shownTop;
        std::tie(left, right) = spanAcross(std::max(minY(box), top - 150), std::min(start, top));
    }
    const double bottom = lowerEdge(linesAcross(all, left, right), top, std::max(minY(box), top - 150));
    const QRectF region(left, bottom, right - left, top - bottom);
    if (!(region.width() > 10 && region.height() > 10))
        return std::nullopt;
    return toShown.inverted().mapRect(region);
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
