#include "annotations/AnnotationGeometry.h"

#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "annotations/MarkupColor.h"
#include "annotations/Rects.h"
#include "platform/StoredJson.h"

namespace folvan::annotations {

QString markupKind(const QString &type)
{
    qsizetype begin = 0;
    qsizetype end = type.size();
    while (begin < end && type[begin] == u'/')
        ++begin;
    while (end > begin && type[end - 1] == u'/')
        --end;
    return type.mid(begin, end - begin).toLower();
}

std::vector<QRectF> annotationRects(const QRectF &bounds, const std::vector<QPointF> &quadPoints)
{
    if (quadPoints.size() < 4)
        return {bounds};
    const QRectF near = grown(bounds, 2, 2);
    std::vector<QRectF> result;
    for (size_t i = 0; i + 4 <= quadPoints.size(); i += 4) {
        double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
        bool finite = true;
        for (size_t k = i; k < i + 4; ++k) {
            const QPointF &p = quadPoints[k];
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                finite = false;
            left = std::min(left, p.x());
            right = std::max(right, p.x());
            bottom = std::min(bottom, p.y());
            top = std::max(top, p.y());
        }
        if (!finite)
            continue;
        const QRectF local(left, bottom, right - left, top - bottom);
        const QRectF moved = local.translated(minX(bounds), minY(bounds));
        // Page space, as the file format has it, unless only the points
        // taken relative to the bounds lie within them. (A large annotation
        // may hold both; its points are then in page space.)
        QRectF chosen = local;
        if (!contains(near, local) && contains(near, moved))
            chosen = moved;
        if (chosen.width() == 0 || chosen.height() == 0)
            continue;
        result.push_back(chosen);
    }
    return result;
}

void sortInReadingOrder(std::vector<QRectF> &rects)
{
    std::stable_sort(rects.begin(), rects.end(), [](const QRectF &a, const QRectF &b) {
        if (maxY(a) != maxY(b))
            return maxY(a) > maxY(b);
        return minX(a) < minX(b);
    });
}

std::vector<QRectF> normalizedRects(const std::vector<QRectF> &rects)
{
    std::vector<QRectF> sorted = rects;
    sortInReadingOrder(sorted);
    std::vector<QRectF> lines;
    for (const QRectF &r : sorted) {
        const double height = maxY(r) - minY(r);
        auto line = std::find_if(lines.begin(), lines.end(), [&](const QRectF &l) {
            const double limit = 0.3 * std::min(maxY(l) - minY(l), height);
            return std::abs(midY(l) - midY(r)) < limit && intersects(grown(l, 0.5, 0), r);
        });
        if (line != lines.end())
            *line = unite(*line, r);
        else
            lines.push_back(r);
    }
    return lines;
}

QString quoteUnder(const std::vector<QRectF> &rects, const engine::PdfPage &page)
{
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    // The lines follow the page text, as a selection does: a passage that
    // runs from the foot of one column to the head of the next reads in
    // that order, not top first.
    struct Line {
        int at;
        QString text;
    };
    std::vector<Line> lines;
    for (const QRectF &line : normalizedRects(rects)) {
        const double inset = 0.18 * (maxY(line) - minY(line));
        const engine::PdfSelection selection = page.selection(grown(line, 0, -inset));
        if (selection.isEmpty())
            continue;
        const QString text = selection.string().split(whiteSpace, Qt::SkipEmptyParts).join(u' ');
        const std::vector<engine::PdfTextRange> ranges = selection.ranges(page);
        if (!text.isEmpty())
            lines.push_back({ranges.empty() ? std::numeric_limits<int>::max() : ranges.front().location, text});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return a.at < b.at; });
    QStringList texts;
    for (const Line &line : lines)
        texts.append(line.text);
    return texts.join(u'\n');
}

std::vector<QRectF> lineRects(const engine::PdfSelection &selection, const engine::PdfPage &page)
{
    std::vector<QRectF> result;
    for (const engine::PdfSelection &line : selection.selectionsByLine()) {
        const std::vector<engine::PdfPage> pages = line.pages();
        if (std::find(pages.begin(), pages.end(), page) == pages.end())
            continue;
        if (line.string().trimmed().isEmpty())
            continue;
        const QRectF bounds = line.bounds(page);
        if (bounds.isNull() || !(std::abs(bounds.width()) > 0.5) || !(std::abs(bounds.height()) > 0.5))
            continue;
        result.push_back(bounds);
    }
    return result;
}

namespace {

QString subtypeOf(const QString &kind)
{
    if (kind == QLatin1String("underline"))
        return QStringLiteral("Underline");
    if (kind == QLatin1String("strikeout"))
        return QStringLiteral("StrikeOut");
    if (kind == QLatin1String("squiggly"))
        return QStringLiteral("Squiggly");
    if (kind == QLatin1String("text"))
        return QStringLiteral("Text");
    if (kind == QLatin1String("freetext"))
        return QStringLiteral("FreeText");
    return QStringLiteral("Highlight");
}

bool hasQuadPoints(const QString &kind)
{
    return kind == QLatin1String("highlight") || kind == QLatin1String("underline")
        || kind == QLatin1String("strikeout") || kind == QLatin1String("squiggly");
}

engine::PdfColor colorOf(const ReadingMarkup &markup)
{
    if (markup.rgba && markup.rgba->size() == 4
        && std::all_of(markup.rgba->begin(), markup.rgba->end(), [](double c) { return std::isfinite(c); })) {
        const std::vector<double> &c = *markup.rgba;
        return {c[0], c[1], c[2], c[3]};
    }
    if (std::optional<MarkupColor> named = MarkupColor::fromRawValue(markup.color.value_or(QString())))
        return named->color(markup.kind);
    if (markup.kind == QLatin1String("underline"))
        return kSystemOrange;
    return MarkupColor(MarkupColor::yellow).color(markup.kind);
}

} // namespace

engine::PdfColor annotationColor(const ReadingMarkup &markup)
{
    return colorOf(markup);
}

std::optional<BuiltAnnotation> buildAnnotation(const ReadingMarkup &markup)
{
    if (markup.rectangles.empty() || markup.kind == QLatin1String("deleted"))
        return std::nullopt;
    BuiltAnnotation built;
    built.subtype = subtypeOf(markup.kind);
    built.bounds = markup.rectangles.front().normalized();
    for (size_t i = 1; i < markup.rectangles.size(); ++i)
        built.bounds = unite(built.bounds, markup.rectangles[i]);
    if (hasQuadPoints(markup.kind)) {
        const QPointF origin(minX(built.bounds), minY(built.bounds));
        for (const QRectF &r : markup.rectangles) {
            built.quadPoints.push_back(QPointF(minX(r), maxY(r)) - origin);
            built.quadPoints.push_back(QPointF(maxX(r), maxY(r)) - origin);
            built.quadPoints.push_back(QPointF(minX(r), minY(r)) - origin);
            built.quadPoints.push_back(QPointF(maxX(r), minY(r)) - origin);
        }
    }
    built.color = annotationColor(markup);
    if (!markup.note.isEmpty())
        built.contents = markup.note;
    built.userName = installedName(markup.id);
    built.modificationDate = QDateTime::currentDateTimeUtc();
    return built;
}

QString installedName(const QUuid &id)
{
    return QStringLiteral("Folvan:") + platform::uuidString(id);
}

namespace {

QString numberText(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

QString rectText(const QRectF &rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(numberText(rect.x()), numberText(rect.y()), numberText(rect.width()), numberText(rect.height()));
}

} // namespace folvan::annotations
