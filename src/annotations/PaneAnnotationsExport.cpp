// What carries the annotations out of the store: the annotated copy of the
// paper, the overlay rows of the book view's page images, the place of a
// reflow passage, and the Markdown summary.

#include "annotations/PaneAnnotations.h"

#include "model/SharedPDFViewModel.h"

#include <QDir>
#include <QFileInfo>

#include <set>

#include "annotations/AnnotationGeometry.h"
#include "annotations/AnnotationState.h"
#include "annotations/ReadingAids.h"
#include "annotations/Rects.h"
#include "annotations/ReflowTextMap.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "platform/StoredFiles.h"

namespace folvan::annotations {

namespace {

const QString kSameFile = QStringLiteral("请选择另一个文件名，保留原 PDF。");

// A path with symbolic links resolved, also for a file that does not exist
// yet (its folder is resolved then).
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return QDir(folder).filePath(info.fileName());
}

} // namespace

std::optional<QString> PaneAnnotations::chooseExportPath(const QString &suffix, const QString &ending)
{
    const auto &choose = m_model.services().chooseExportPath;
    if (!choose)
        return std::nullopt;
    const QUrl &url = m_model.pdfDocumentURL();
    const QString base = url.isEmpty() ? QStringLiteral("Document") : QFileInfo(url.toLocalFile()).completeBaseName();
    const QString chosen = choose(base + ending, suffix);
    if (chosen.isEmpty())
        return std::nullopt;
    if (!url.isEmpty() && resolvedPath(chosen) == resolvedPath(url.toLocalFile())) {
        setMarkupError(kSameFile);
        return std::nullopt;
    }
    return chosen;
}

void PaneAnnotations::exportAnnotatedPDF()
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document)
        return;
    const std::optional<QString> path =
        chooseExportPath(QStringLiteral("pdf"), QStringLiteral("-批注.pdf"));
    if (!path)
        return;
    // Every markup goes in, also those still being read at open.
    completeAnnotationLoading();
    QString error;
    const QByteArray data = engine::annotatedCopyData(*document, &error);
    if (data.isEmpty()) {
        setMarkupError(QStringLiteral("无法生成批注 PDF。"));
        return;
    }
    if (!platform::writeFileAtomically(*path, data, &error)) {
        setMarkupError(QStringLiteral("无法导出批注 PDF：") + error);
        return;
    }
    setMarkupError(std::nullopt);
}

PaneAnnotations::OverlayRowMap PaneAnnotations::rasterOverlays(bool includeSelection) const
{
    OverlayRowMap rows;
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document)
        return rows;
    std::set<int> pages;
    if (m_annotationDocument.lock() == document) {
        const AnnotationState &state = annotationState();
        for (const auto &[page, records] : state.originalAnnotations)
            pages.insert(page);
        for (const auto &[page, handles] : state.installedAnnotations)
            pages.insert(page);
    } else if (document->pageCount() <= kAnnotatedPagesReadAtOnce) {
        // Annotations not prepared for this document yet: a short one's
        // pages are read here; a long one's rows come once its annotations
        // are read (off the main thread), with the next annotation revision.
        for (int page = 0; page < document->pageCount(); ++page)
            pages.insert(page);
    }
    auto addRows = [&rows](int page, const QString &subtype, const QRectF &bounds,
                           const std::vector<QPointF> &quadPoints, const engine::PdfColor &color) {
        const QString kind = markupKind(subtype);
        const bool underline = kind == QLatin1String("underline");
        if (!underline && kind != QLatin1String("highlight"))
            return;
        for (const QRectF &r : annotationRects(bounds, quadPoints)) {
            if (isEmptyRect(r))
                continue;
            rows[page].push_back({minX(r), minY(r), maxX(r) - minX(r), maxY(r) - minY(r), color.red, color.green,
                                  color.blue, std::min(color.alpha, 0.45), underline ? 1.0 : 0.0});
        }
    };
    for (int page : pages) {
        // The markups still waiting to be made on a page are read as what
        // they will be made from: making those of every page at once would
        // hold the reader up for seconds on a paper with thousands.
        const engine::PdfPageAnnotations found = engine::annotationsWithoutMaking(*document, page);
        // (What the paper's own flags keep off its page stays off the book's.)
        for (const engine::PdfAnnotation &annotation : found.made) {
            if (!annotation.flaggedOffScreen())
                addRows(page, annotation.subtype, annotation.bounds, annotation.quadPoints, colorOf(annotation));
        }
        for (const engine::PdfNewAnnotation &blueprint : found.putOff) {
            QRectF bounds;
            for (const QRectF &r : blueprint.rects)
                bounds = bounds.isNull() ? r : bounds.united(r);
            addRows(page, blueprint.subtype, bounds, blueprint.quadPoints, blueprint.color);
        }
    }
    if (includeSelection && m_model.retainedSelection()) {
        for (const engine::PdfPage &page : m_model.retainedSelection()->pages()) {
            if (page.document() != document)
                continue;
            for (const QRectF &r : lineRects(*m_model.retainedSelection(), page))
                rows[page.index()].push_back({minX(r), minY(r), maxX(r) - minX(r), maxY(r) - minY(r), 0.4, 0.65, 1.0,
                                              0.18, 0.0});
        }
    }
    return rows;
}

model::ReadingLocation PaneAnnotations::location(const model::ReadingTextSource &source) const
{
    model::ReadingLocation place;
    place.page = source.page;
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document || source.page < 0 || source.page >= document->pageCount())
        return place;
    const engine::PdfPage page = document->page(int(source.page));
    if (!page.isValid())
        return place;
    place.source = source;
    std::optional<QRectF> area;
    if (std::optional<engine::PdfSelection> found = passageSelection(source, document))
        area = found->bounds(page);
    else
        area = passagePdfRect(source, page);
    if (area)
        place.point = QPointF(minX(*area), maxY(*area));
    return place;
}

std::optional<QString> PaneAnnotations::annotationSummary()
{
    completeAnnotationLoading();
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document || annotationItems().empty())
        return std::nullopt;
    const QString title = m_model.pdfDocumentURL().isEmpty() ? QStringLiteral("阅读批注")
                                                     : QFileInfo(m_model.pdfDocumentURL().toLocalFile()).completeBaseName();
    return markdownSummary(*document, annotationItems(), title);
}

void PaneAnnotations::exportAnnotationSummary()
{
    const std::optional<QString> text = annotationSummary();
    if (!text)
        return;
    const std::optional<QString> path = chooseExportPath(QStringLiteral("md"), QStringLiteral("-批注.md"));
    if (!path)
        return;
    QString error;
    if (!platform::writeFileAtomically(*path, text->toUtf8(), &error)) {
        setMarkupError(QStringLiteral("无法导出阅读批注：") + error);
        return;
    }
    setMarkupError(std::nullopt);
}

} // namespace folvan::annotations
