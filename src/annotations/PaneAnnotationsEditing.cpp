// Adding highlights and underlines, editing and deleting annotations, and
// taking over a selection made in the reflow view.

#include "annotations/PaneAnnotations.h"

#include "model/SharedPDFViewModel.h"

#include <algorithm>

#include "annotations/AnnotationGeometry.h"
#include "annotations/AnnotationState.h"
#include "annotations/MarkupMerging.h"
#include "annotations/ReflowTextMap.h"
#include "engine/PdfDocument.h"

namespace folvan::annotations {

namespace {

constexpr size_t kMaxReflowPassages = 64;

void removeMarkup(std::vector<ReadingMarkup> &list, const QUuid &id)
{
    list.erase(std::remove_if(list.begin(), list.end(), [&](const ReadingMarkup &m) { return m.id == id; }),
               list.end());
}

const ReadingAnnotationItem *findItem(const std::vector<ReadingAnnotationItem> &items, const QString &id)
{
    auto found = std::find_if(items.begin(), items.end(), [&](const ReadingAnnotationItem &i) { return i.id == id; });
    return found == items.end() ? nullptr : &*found;
}

} // namespace

ReadingMarkup PaneAnnotations::editableMarkup(const ReadingAnnotationItem &item) const
{
    if (item.localID) {
        const std::vector<ReadingMarkup> &list = markups();
        auto own = std::find_if(list.begin(), list.end(), [&](const ReadingMarkup &m) { return m.id == *item.localID; });
        if (own != list.end())
            return *own;
    }
    ReadingMarkup markup;
    markup.id = QUuid::createUuid();
    markup.page = item.page;
    markup.kind = item.kind;
    markup.rectangles = item.rectangles;
    markup.quote = item.quote;
    markup.note = item.note;
    markup.rgba = std::vector<double>{item.color.red, item.color.green, item.color.blue, item.color.alpha};
    markup.sourceKey = item.sourceKey;
    return markup;
}

void PaneAnnotations::addMarkup(const QString &kind, const QString &note)
{
    if (kind != QLatin1String("highlight") && kind != QLatin1String("underline"))
        return;
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document || !m_model.retainedSelection() || m_model.selectionText().isEmpty())
        return;
    prepareAnnotations();
    std::vector<ReadingMarkup> list = markups();
    const engine::PdfSelection selection = *m_model.retainedSelection();

    for (const engine::PdfPage &page : selection.pages()) {
        if (page.document() != document || !page.isValid())
            continue;
        const std::vector<QRectF> lines = lineRects(selection, page);
        if (lines.empty())
            continue;
        std::vector<const ReadingAnnotationItem *> candidates;
        std::vector<std::vector<QRectF>> candidateRects;
        for (const ReadingAnnotationItem &item : annotationItems()) {
            if (item.page == page.index() && item.kind == kind) {
                candidates.push_back(&item);
                candidateRects.push_back(item.rectangles);
            }
        }
        const MergeResult merge = mergeOverlapping(lines, candidateRects);
        const std::vector<QRectF> rects = normalizedRects(merge.region);

        std::vector<QString> mergedNotes;
        for (size_t index : merge.merged)
            mergedNotes.push_back(candidates[index]->note);

        ReadingMarkup base;
        if (!merge.merged.empty()) {
            base = editableMarkup(*candidates[merge.merged.front()]);
        } else {
            base.id = QUuid::createUuid();
            base.page = page.index();
            base.kind = kind;
            base.color = preferredMarkupColor().rawValue();
        }
        base.rectangles = rects;
        base.note = joinNotes(mergedNotes, note);
        base.quote = quoteUnder(rects, page);

        for (size_t index : merge.merged) {
            ReadingMarkup m = editableMarkup(*candidates[index]);
            removeMarkup(list, m.id);
            if (m.sourceKey && m.sourceKey != base.sourceKey) {
                m.kind = QStringLiteral("deleted");
                list.push_back(std::move(m));
            }
        }
        list.push_back(std::move(base));
    }
    commitAnnotations(std::move(list), kind == QLatin1String("underline") ? QStringLiteral("添加下划线")
                                                                          : QStringLiteral("添加高亮"));
}

void PaneAnnotations::deleteAnnotation(const QString &itemID)
{
    prepareAnnotations();
    const ReadingAnnotationItem *item = findItem(annotationItems(), itemID);
    if (!item)
        return;
    ReadingMarkup m = editableMarkup(*item);
    std::vector<ReadingMarkup> list = markups();
    removeMarkup(list, m.id);
    if (m.sourceKey) {
        m.kind = QStringLiteral("deleted");
        m.note.clear();
        list.push_back(std::move(m));
    }
    commitAnnotations(std::move(list), QStringLiteral("删除批注"));
}

void PaneAnnotations::editAnnotation(const QString &itemID, const QString &note, std::optional<MarkupColor> color)
{
    prepareAnnotations();
    const ReadingAnnotationItem *item = findItem(annotationItems(), itemID);
    if (!item)
        return;
    const QString trimmed = note.trimmed();
    if ((item->kind == QLatin1String("text") || item->kind == QLatin1String("freetext")) && trimmed.isEmpty()) {
        deleteAnnotation(itemID);
        return;
    }
    ReadingMarkup m = editableMarkup(*item);
    std::vector<ReadingMarkup> list = markups();
    m.note = trimmed;
    if (color) {
        m.color = color->rawValue();
        m.rgba.reset();
    }
    auto same = std::find_if(list.begin(), list.end(), [&](const ReadingMarkup &x) { return x.id == m.id; });
    if (same != list.end())
        *same = std::move(m);
    else
        list.push_back(std::move(m));
    commitAnnotations(std::move(list), QStringLiteral("编辑批注"));
}

bool PaneAnnotations::acceptReflowSelection(const std::vector<model::ReadingTextSource> &sources)
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document || sources.size() > kMaxReflowPassages)
        return false;
    for (const model::ReadingTextSource &source : sources) {
        if (!source.validated(document->pageCount()))
            return false;
    }
    prepareAnnotations();
    if (sources.empty()) {
        m_model.reflowSelectionTaken(sources, std::nullopt);
        return true;
    }

    std::optional<engine::PdfSelection> combined;
    for (const model::ReadingTextSource &source : sources) {
        std::optional<engine::PdfSelection> found = passageSelection(source, document);
        if (!found) {
            m_model.reflowSelectionTaken(sources, std::nullopt);
            return false;
        }
        if (combined)
            combined->add(*found);
        else
            combined = std::move(found);
    }
    m_model.reflowSelectionTaken(sources, std::move(combined));

    const model::ReadingLocation place = location(sources.front());
    if (place.point && document->page(int(sources.front().page)).isValid())
        m_model.reflowSelectionPlaced(engine::PdfDestination(int(sources.front().page), *place.point));
    else
        m_model.reflowSelectionPlaced(std::nullopt);
    return true;
}

} // namespace folvan::annotations
