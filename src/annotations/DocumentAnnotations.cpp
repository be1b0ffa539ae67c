#include "annotations/DocumentAnnotations.h"

#include <QCryptographicHash>

#include <algorithm>
#include <set>
#include <unordered_set>

#include "annotations/AnnotationGeometry.h"
#include "annotations/MarkupColor.h"
#include "annotations/Rects.h"
#include "platform/StoredJson.h"

namespace folvan::annotations {

bool isOriginalKind(const QString &kind)
{
    static const QStringList kinds = {"highlight", "underline", "strikeout", "squiggly", "text", "freetext"};
    return kinds.contains(kind);
}

namespace {

std::vector<QRectF> rectanglesOf(const engine::PdfAnnotation &annotation)
{
    return AnnotationGeometry::rectangles(annotation.bounds, annotation.quadPoints);
}

std::unordered_set<QString> sourceKeys(const std::vector<ReadingMarkup> &markups)
{
    std::unordered_set<QString> keys;
    for (const ReadingMarkup &m : markups) {
        if (m.sourceKey)
            keys.insert(*m.sourceKey);
    }
    return keys;
}

} // namespace

QString originalKey(int pageIndex, int ordinal, const engine::PdfAnnotation &annotation)
{
    QStringList rects;
    for (const QRectF &r : rectanglesOf(annotation))
        rects << AnnotationGeometry::rectText(r);
    const QString text = QString::number(pageIndex) + u'|' + QString::number(ordinal) + u'|'
        + AnnotationGeometry::kind(annotation.subtype) + u'|' + rects.join(u';') + u'|' + annotation.contents
        + u'|' + annotation.userName;
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

OriginalAnnotationMap recordOriginals(const engine::PdfDocument &document)
{
    OriginalAnnotationMap originals;
    for (int index = 0; index < document.pageCount(); ++index) {
        std::vector<OriginalAnnotation> records;
        for (const engine::PdfAnnotation &annotation : engine::annotations(document, index, true)) {
            if (!isOriginalKind(AnnotationGeometry::kind(annotation.subtype)))
                continue;
            const int ordinal = int(records.size());
            records.push_back({originalKey(index, ordinal, annotation), annotation});
        }
        if (!records.empty())
            originals.emplace(index, std::move(records));
    }
    return originals;
}

int installMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                    InstalledAnnotationMap &installed, const std::vector<ReadingMarkup> &markups,
                    const std::function<void(int)> &pageChanged)
{
    std::set<int> pages;
    for (const auto &[page, records] : originals)
        pages.insert(page);
    for (const auto &[page, handles] : installed)
        pages.insert(page);
    for (const ReadingMarkup &m : markups) {
        if (m.page >= 0 && m.page < document.pageCount())
            pages.insert(int(m.page));
    }
    const std::unordered_set<QString> keys = sourceKeys(markups);
    int failed = 0;

    for (int page : pages) {
        if (page < 0 || page >= document.pageCount())
            continue;
        for (const engine::PdfAnnotationHandle &handle : installed[page])
            engine::removeAnnotation(document, handle);
        installed[page].clear();

        const auto found = originals.find(page);
        const std::vector<OriginalAnnotation> none;
        const std::vector<OriginalAnnotation> &records = found == originals.end() ? none : found->second;
        // Originals hidden below because a markup of this page carries their
        // user name: a copy of that very markup saved in the file.
        std::unordered_set<QString> installedNames;
        for (const ReadingMarkup &m : markups) {
            if (m.page == page && m.kind != QLatin1String("deleted") && !m.rectangles.empty())
                installedNames.insert(AnnotationGeometry::installedName(m.id));
        }
        for (const OriginalAnnotation &record : records) {
            const bool hide = keys.count(record.key) || installedNames.count(record.annotation.userName);
            engine::setAnnotationHidden(document, record.annotation.handle, hide);
        }

        for (const ReadingMarkup &m : markups) {
            if (m.page != page || m.kind == QLatin1String("deleted"))
                continue;
            const std::optional<BuiltAnnotation> built = AnnotationGeometry::make(m);
            if (!built)
                continue;
            engine::PdfNewAnnotation created;
            created.subtype = built->subtype;
            created.rects = m.rectangles;
            const QPointF origin(minX(built->bounds), minY(built->bounds));
            for (const QPointF &p : built->quadPoints)
                created.quadPoints.push_back(p + origin);
            created.color = built->color;
            created.contents = built->contents.value_or(QString());
            created.userName = built->userName;
            created.modificationDate = built->modificationDate;
            if (m.sourceKey) {
                auto original = std::find_if(records.begin(), records.end(),
                                             [&](const OriginalAnnotation &r) { return r.key == *m.sourceKey; });
                if (original != records.end()) {
                    created.iconName = original->annotation.iconName;
                    created.fontName = original->annotation.fontName;
                    created.fontSize = original->annotation.fontSize;
                    created.fontColor = original->annotation.fontColor;
                    created.alignment = original->annotation.alignment;
                }
            }
            const engine::PdfAnnotationHandle handle = engine::createAnnotation(document, page, created);
            if (handle.isValid())
                installed[page].push_back(handle);
            else
                ++failed;
        }
        if (installed[page].empty())
            installed.erase(page);
        if (pageChanged)
            pageChanged(page);
    }
    return failed;
}

void uninstallMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                      InstalledAnnotationMap &installed)
{
    for (const auto &[page, handles] : installed) {
        for (const engine::PdfAnnotationHandle &handle : handles)
            engine::removeAnnotation(document, handle);
    }
    installed.clear();
    for (const auto &[page, records] : originals) {
        for (const OriginalAnnotation &record : records)
            engine::setAnnotationHidden(document, record.annotation.handle, false);
    }
}

engine::PdfColor colorOf(const engine::PdfAnnotation &annotation)
{
    return annotation.color.value_or(SystemColors::yellow);
}

std::vector<ReadingAnnotationItem> buildItems(const engine::PdfDocument &document,
                                              const OriginalAnnotationMap &originals,
                                              const std::vector<ReadingMarkup> &markups)
{
    const std::unordered_set<QString> keys = sourceKeys(markups);
    std::unordered_set<QString> names;
    for (const ReadingMarkup &m : markups)
        names.insert(AnnotationGeometry::installedName(m.id));

    std::vector<ReadingAnnotationItem> items;
    for (const auto &[page, records] : originals) {
        const engine::PdfPage pdfPage = document.page(page);
        if (!pdfPage.isValid())
            continue;
        for (const OriginalAnnotation &record : records) {
            if (keys.count(record.key) || names.count(record.annotation.userName))
                continue;
            ReadingAnnotationItem item;
            item.id = record.key;
            item.page = page;
            item.kind = AnnotationGeometry::kind(record.annotation.subtype);
            item.rectangles = rectanglesOf(record.annotation);
            item.quote = AnnotationGeometry::quote(item.rectangles, pdfPage);
            item.note = record.annotation.contents;
            item.color = colorOf(record.annotation);
            item.sourceKey = record.key;
            items.push_back(std::move(item));
        }
    }
    for (const ReadingMarkup &m : markups) {
        if (m.kind == QLatin1String("deleted"))
            continue;
        ReadingAnnotationItem item;
        item.id = platform::uuidString(m.id);
        item.page = m.page;
        item.kind = m.kind;
        item.rectangles = m.rectangles;
        item.quote = m.quote;
        item.note = m.note;
        const std::optional<BuiltAnnotation> built = AnnotationGeometry::make(m);
        item.color = built ? built->color : SystemColors::yellow;
        item.localID = m.id;
        item.sourceKey = m.sourceKey;
        items.push_back(std::move(item));
    }
    auto firstRect = [](const ReadingAnnotationItem &item) {
        return item.rectangles.empty() ? QRectF() : item.rectangles.front();
    };
    std::stable_sort(items.begin(), items.end(), [&](const ReadingAnnotationItem &a, const ReadingAnnotationItem &b) {
        if (a.page != b.page)
            return a.page < b.page;
        const QRectF ra = firstRect(a), rb = firstRect(b);
        if (maxY(ra) != maxY(rb))
            return maxY(ra) > maxY(rb);
        return minX(ra) < minX(rb);
    });
    return items;
}

} // namespace folvan::annotations
