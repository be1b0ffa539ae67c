#include "annotations/ReadingAids.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <set>

#include "annotations/Rects.h"
#include "engine/PdfPageLabels.h"

namespace folvan::ReadingAids {

using namespace annotations;

QString pageLabel(const engine::PdfDocument &document, int index)
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
            left = std::min(left, annotations::minX(r));
            right = std::max(right, annotations::maxX(r));
            bottom = std::min(bottom, annotations::minY(r));
            top = std::max(top, annotations::maxY(r));
        }
    }
    bool isNull() const { return left > right; }
    double width() const { return isNull() ? 0 : right - left; }
    double centreY() const { return isNull() ? INFINITY : (bottom + top) / 2; }
    double topEdge() const { return isNull() ? INFINITY : top; }
};

} // namespace

std::vector<ReadingAnnotationItem> ordered(const std::vector<ReadingAnnotationItem> &items,
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

QString markdown(const engine::PdfDocument &document, const std::vector<ReadingAnnotationItem> &items,
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
        const QString label = ReadingAids::pageLabel(document, int(p));
        QString heading = QStringLiteral("## 第 ") + label + QStringLiteral(" 页");
        if (label != number)
            heading += QStringLiteral("（PDF 第 ") + number + QStringLiteral(" 页）");
        paragraphs << heading;

        std::vector<ReadingAnnotationItem> onPage;
        std::copy_if(items.begin(), items.end(), std::back_inserter(onPage),
                     [&](const ReadingAnnotationItem &item) { return item.page == p; });
        for (const ReadingAnnotationItem &item : ordered(onPage, page)) {
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

} // namespace folvan::ReadingAids
