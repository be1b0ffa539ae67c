#include "annotations/DocumentAnnotations.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
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
    return annotationRects(annotation.bounds, annotation.quadPoints);
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
        rects << rectText(r);
    const QString text = QString::number(pageIndex) + u'|' + QString::number(ordinal) + u'|'
        + markupKind(annotation.subtype) + u'|' + rects.join(u';') + u'|' + annotation.contents
        + u'|' + annotation.userName;
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::vector<OriginalAnnotation> recordPageOriginals(const engine::PdfDocument &document, int pageIndex)
{
    std::vector<OriginalAnnotation> records;
    for (const engine::PdfAnnotation &annotation : engine::annotations(document, pageIndex, true)) {
        if (!isOriginalKind(markupKind(annotation.subtype)))
            continue;
        const int ordinal = int(records.size());
        records.push_back({originalKey(pageIndex, ordinal, annotation), annotation});
    }
    return records;
}

OriginalAnnotationMap recordOriginals(const engine::PdfDocument &document, int skipped,
                                      const std::atomic_bool *stopped)
{
    OriginalAnnotationMap originals;
    for (int index = 0; index < document.pageCount(); ++index) {
        if (stopped && stopped->load(std::memory_order_relaxed))
            break;
        if (index == skipped)
            continue;
        if (std::vector<OriginalAnnotation> records = recordPageOriginals(document, index); !records.empty())
            originals.emplace(index, std::move(records));
    }
    return originals;
}

namespace {

// The annotation that shows a markup on its page.
engine::PdfNewAnnotation blueprint(const ReadingMarkup &m, const BuiltAnnotation &built,
                                   const std::vector<OriginalAnnotation> &records)
{
    engine::PdfNewAnnotation created;
    created.subtype = built.subtype;
    created.rects = m.rectangles;
    const QPointF origin(minX(built.bounds), minY(built.bounds));
    for (const QPointF &p : built.quadPoints)
        created.quadPoints.push_back(p + origin);
    created.color = built.color;
    created.contents = built.contents.value_or(QString());
    created.userName = built.userName;
    created.modificationDate = built.modificationDate;
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
    return created;
}

bool drawn(const ReadingMarkup &m) { return m.kind != QLatin1String("deleted"); }

// An annotation to make for a markup.
struct PendingMarkup {
    const ReadingMarkup *markup;
    engine::PdfPlacedAnnotation annotation;
};

// Learns the handles of a page's annotations that were put off.
void takeDeferred(engine::PdfDocument &document, int page, InstalledPage &installed)
{
    const std::vector<engine::PdfAnnotationHandle> handles = engine::takeDeferredAnnotations(document, page);
    for (size_t i = 0; i < installed.markups.size() && i < handles.size(); ++i)
        installed.markups[i].handle = handles[i];
    installed.deferred = false;
}

// Brings one page in step with its markups, but for the annotations to
// make, which go to `pending`; true when anything on it changed.
bool installPage(engine::PdfDocument &document, int page, const std::vector<OriginalAnnotation> &records,
                 const std::unordered_set<QString> &keys, InstalledPage &installed,
                 const std::vector<const ReadingMarkup *> &wanted, std::vector<PendingMarkup> &pending)
{
    bool changed = false;
    // Originals hidden because a markup of this page carries their user
    // name: a copy of that very markup saved in the file. A page without
    // originals needs no names.
    std::unordered_set<QString> installedNames;
    for (const ReadingMarkup *m : records.empty() ? std::vector<const ReadingMarkup *>() : wanted) {
        if (drawn(*m) && !m->rectangles.empty())
            installedNames.insert(installedName(m->id));
    }
    if (installed.hiddenOriginals.size() != records.size()) {
        installed.hiddenOriginals.clear();
        for (const OriginalAnnotation &record : records)
            installed.hiddenOriginals.push_back(record.annotation.hidden);
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const OriginalAnnotation &record = records[i];
        const bool hide = keys.count(record.key) || installedNames.count(record.annotation.userName);
        if (hide != installed.hiddenOriginals[i]) {
            engine::setAnnotationHidden(document, record.annotation.handle, hide);
            installed.hiddenOriginals[i] = hide;
            changed = true;
        }
    }

    // The page holds its markups' annotations in markup order. What is on
    // the page already, still wanted as it is and in that order stays;
    // new annotations go at the page's end, so from the first markup that
    // needs one on, every later markup's annotation is made again after it.
    QHash<QUuid, std::vector<size_t>> onPage;
    for (size_t i = 0; i < installed.markups.size(); ++i)
        onPage[installed.markups[i].markup.id].push_back(i);
    std::vector<bool> kept(installed.markups.size(), false);
    std::vector<const ReadingMarkup *> missing;
    size_t next = 0; // the page's annotations before this one are placed
    for (const ReadingMarkup *m : wanted) {
        if (!drawn(*m))
            continue;
        bool found = false;
        if (auto it = onPage.find(m->id); it != onPage.end() && missing.empty()) {
            for (size_t i : *it) {
                if (i >= next && installed.markups[i].markup == *m) {
                    kept[i] = found = true;
                    next = i + 1;
                    break;
                }
            }
        }
        if (!found)
            missing.push_back(m);
    }
    // Taking annotations off needs their handles: those put off are made.
    if (installed.deferred && std::find(kept.begin(), kept.end(), false) != kept.end())
        takeDeferred(document, page, installed);
    std::vector<InstalledMarkup> remaining;
    for (size_t i = 0; i < installed.markups.size(); ++i) {
        if (kept[i]) {
            remaining.push_back(std::move(installed.markups[i]));
        } else {
            if (installed.markups[i].handle.isValid())
                engine::removeAnnotation(document, installed.markups[i].handle);
            changed = true;
        }
    }
    installed.markups = std::move(remaining);

    for (const ReadingMarkup *m : missing) {
        const std::optional<BuiltAnnotation> built = buildAnnotation(*m);
        if (!built)
            continue;
        pending.push_back({m, {page, blueprint(*m, *built, records)}});
        changed = true;
    }
    return changed;
}

} // namespace

int installMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                    InstalledAnnotationMap &installed, const std::vector<ReadingMarkup> &markups,
                    const std::function<void(int)> &pageChanged)
{
    const int pageCount = document.pageCount();
    std::map<int, std::vector<const ReadingMarkup *>> byPage;
    for (const auto &[page, records] : originals)
        byPage[page];
    for (const auto &[page, records] : installed)
        byPage[page];
    for (const ReadingMarkup &m : markups) {
        if (m.page >= 0 && m.page < pageCount)
            byPage[int(m.page)].push_back(&m);
    }
    const std::unordered_set<QString> keys = sourceKeys(markups);
    const std::vector<OriginalAnnotation> none;

    std::vector<PendingMarkup> pending;
    std::set<int> changed;
    for (const auto &[page, wanted] : byPage) {
        if (page < 0 || page >= pageCount)
            continue;
        const auto found = originals.find(page);
        const std::vector<OriginalAnnotation> &records = found == originals.end() ? none : found->second;
        if (installPage(document, page, records, keys, installed[page], wanted, pending))
            changed.insert(page);
    }
    // A page that holds no annotations of markups yet, or only some put
    // off, gets its new ones when it is first needed; the others at once.
    std::map<int, std::vector<const PendingMarkup *>> later;
    std::vector<const PendingMarkup *> now;
    for (const PendingMarkup &p : pending) {
        const InstalledPage &pageState = installed[p.annotation.pageIndex];
        if (pageState.deferred || pageState.markups.empty())
            later[p.annotation.pageIndex].push_back(&p);
        else
            now.push_back(&p);
    }
    for (const auto &[page, list] : later) {
        std::vector<engine::PdfNewAnnotation> blueprints;
        for (const PendingMarkup *p : list)
            blueprints.push_back(p->annotation.blueprint);
        if (!engine::deferAnnotations(document, page, std::move(blueprints))) {
            now.insert(now.end(), list.begin(), list.end());
            continue;
        }
        InstalledPage &pageState = installed[page];
        pageState.deferred = true;
        for (const PendingMarkup *p : list)
            pageState.markups.push_back({*p->markup, {}});
    }
    std::vector<engine::PdfPlacedAnnotation> made;
    made.reserve(now.size());
    for (const PendingMarkup *p : now)
        made.push_back(p->annotation);
    const std::vector<engine::PdfAnnotationHandle> handles = engine::createAnnotations(document, made);
    for (size_t i = 0; i < now.size(); ++i)
        installed[now[i]->annotation.pageIndex].markups.push_back({*now[i]->markup, handles[i]});

    int failed = 0;
    for (auto it = installed.begin(); it != installed.end();) {
        const InstalledPage &pageState = it->second;
        for (const InstalledMarkup &m : pageState.markups)
            failed += m.handle.isValid() || pageState.deferred ? 0 : 1;
        const bool empty = pageState.markups.empty()
            && std::none_of(pageState.hiddenOriginals.begin(), pageState.hiddenOriginals.end(), [](bool h) { return h; });
        it = empty ? installed.erase(it) : std::next(it);
    }
    if (pageChanged) {
        for (int page : changed)
            pageChanged(page);
    }
    return failed;
}

void uninstallMarkups(engine::PdfDocument &document, const OriginalAnnotationMap &originals,
                      InstalledAnnotationMap &installed, const std::function<void(int)> &pageChanged)
{
    InstalledAnnotationMap removed = std::move(installed);
    installed.clear();
    for (auto &[page, state] : removed) {
        if (state.deferred)
            takeDeferred(document, page, state);
        for (const InstalledMarkup &m : state.markups) {
            if (m.handle.isValid())
                engine::removeAnnotation(document, m.handle);
        }
    }
    for (const auto &[page, records] : originals) {
        for (const OriginalAnnotation &record : records)
            engine::setAnnotationHidden(document, record.annotation.handle, false);
    }
    if (pageChanged) {
        for (const auto &[page, state] : removed)
            pageChanged(page);
    }
}

engine::PdfColor colorOf(const engine::PdfAnnotation &annotation)
{
    return annotation.color.value_or(kSystemYellow);
}

namespace {

ReadingAnnotationItem markupItem(const ReadingMarkup &m)
{
    ReadingAnnotationItem item;
    item.id = platform::uuidString(m.id);
    item.page = m.page;
    item.kind = m.kind;
    item.rectangles = m.rectangles;
    item.quote = m.quote;
    item.note = m.note;
    // Only the colour of the annotation that shows it.
    item.color = m.rectangles.empty() ? kSystemYellow : annotationColor(m);
    item.localID = m.id;
    item.sourceKey = m.sourceKey;
    return item;
}

} // namespace

std::vector<ReadingAnnotationItem> buildItems(const engine::PdfDocument &document,
                                              const OriginalAnnotationMap &originals,
                                              const std::vector<ReadingMarkup> &markups, MarkupItemCache *cache)
{
    // Which originals the markups cover; with no originals, none.
    std::unordered_set<QString> keys, names;
    if (!originals.empty()) {
        keys = sourceKeys(markups);
        for (const ReadingMarkup &m : markups)
            names.insert(installedName(m.id));
    }

    std::vector<ReadingAnnotationItem> items;
    items.reserve(markups.size());
    for (const auto &[page, records] : originals) {
        const engine::PdfPage pdfPage = document.page(page);
        if (!pdfPage.isValid())
            continue;
        for (const OriginalAnnotation &record : records) {
            // (Nor is one the paper's own flags keep off its page.)
            if (keys.count(record.key) || names.count(record.annotation.userName)
                || record.annotation.flaggedOffScreen())
                continue;
            ReadingAnnotationItem item;
            item.id = record.key;
            item.page = page;
            item.kind = markupKind(record.annotation.subtype);
            item.rectangles = rectanglesOf(record.annotation);
            item.quote = quoteUnder(item.rectangles, pdfPage);
            item.note = record.annotation.contents;
            item.color = colorOf(record.annotation);
            item.sourceKey = record.key;
            items.push_back(std::move(item));
        }
    }
    // The cache is brought up to date in place: only the markups that
    // changed are listed again, and those gone are dropped.
    size_t cached = 0;
    for (const ReadingMarkup &m : markups) {
        if (m.kind == QLatin1String("deleted"))
            continue;
        if (!cache) {
            items.push_back(markupItem(m));
            continue;
        }
        auto known = cache->find(m.id);
        if (known == cache->end())
            known = cache->insert(m.id, {m, markupItem(m)});
        else if (!(known->first == m))
            *known = {m, markupItem(m)};
        ++cached;
        items.push_back(known->second);
    }
    if (cache && size_t(cache->size()) > cached) {
        QSet<QUuid> listed;
        for (const ReadingMarkup &m : markups) {
            if (m.kind != QLatin1String("deleted"))
                listed.insert(m.id);
        }
        cache->removeIf([&](MarkupItemCache::iterator it) { return !listed.contains(it.key()); });
    }
    // In reading order: by page, then top down, then left to right, items
    // that tie in the order they came. The order is found on small keys
    // and the items moved once, not at every step of the sort.
    struct Place {
        std::int64_t page;
        double top, left;
        size_t index;
    };
    std::vector<Place> places;
    places.reserve(items.size());
    // (A damaged original's NaN would leave the order undefined.)
    const auto number = [](double value) { return std::isnan(value) ? 0.0 : value; };
    for (size_t i = 0; i < items.size(); ++i) {
        const QRectF first = items[i].rectangles.empty() ? QRectF() : items[i].rectangles.front();
        places.push_back({items[i].page, number(maxY(first)), number(minX(first)), i});
    }
    std::sort(places.begin(), places.end(), [](const Place &a, const Place &b) {
        if (a.page != b.page)
            return a.page < b.page;
        if (a.top != b.top)
            return a.top > b.top;
        if (a.left != b.left)
            return a.left < b.left;
        return a.index < b.index;
    });
    std::vector<ReadingAnnotationItem> sorted;
    sorted.reserve(items.size());
    for (const Place &place : places)
        sorted.push_back(std::move(items[place.index]));
    return sorted;
}

} // namespace folvan::annotations
