// The pane model's annotation state, its installation on the pages, the
// commits with their undo steps, and the annotation file.

#include "model/SharedPDFViewModel.h"

#include <QPointer>
#include <QUndoStack>

#include "annotations/AnnotationGeometry.h"
#include "annotations/AnnotationState.h"
#include "annotations/MarkupCommitCommand.h"
#include "annotations/ReflowTextMap.h"
#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "platform/UnsavedChanges.h"

namespace folvan {

using namespace annotations;

namespace {

constexpr int kUndoLimit = 80;

const QString kLoadError = QStringLiteral("无法载入已保存的批注：");
const QString kSaveError = QStringLiteral("批注尚未保存：");
const QString kSyncError = QStringLiteral("无法同步另一阅读区的批注：");
const QString kPlaceError = QStringLiteral("无法显示已保存的批注：");
// What a file that is not a valid markup list reports.
const QString kCorruptFile = platform::unreadableDataText();

} // namespace

// ---- State -----------------------------------------------------------------

AnnotationState &SharedPDFViewModel::annotationState() const
{
    if (!m_annotationState) {
        m_annotationState = std::make_shared<AnnotationState>();
        // From now on the side-file handler brings this pane's annotations up
        // to date when another pane writes the file.
        SharedPDFViewModel *self = const_cast<SharedPDFViewModel *>(this);
        m_sharedAnnotationsReload = [self] { self->reloadSharedAnnotations(); };
        // Jumps to a passage mark it in the page and book views.
        self->setPassageFinder([self](const ReadingTextSource &source) {
            return ReflowTextMap::selection(source, self->pdfDocument());
        });
    }
    return *m_annotationState;
}

const std::vector<ReadingMarkup> &SharedPDFViewModel::markups() const
{
    return annotationState().markups;
}

void SharedPDFViewModel::setMarkups(std::vector<ReadingMarkup> value)
{
    annotationState().markups = std::move(value);
    emit markupsChanged();
}

const std::vector<ReadingAnnotationItem> &SharedPDFViewModel::annotationItems() const
{
    return annotationState().annotationItems;
}

void SharedPDFViewModel::setAnnotationItems(std::vector<ReadingAnnotationItem> value)
{
    annotationState().annotationItems = std::move(value);
    emit annotationItemsChanged();
}

MarkupColor SharedPDFViewModel::preferredMarkupColor() const
{
    return annotationState().preferredMarkupColor;
}

void SharedPDFViewModel::setPreferredMarkupColor(MarkupColor value)
{
    annotationState().preferredMarkupColor = value;
    emit preferredMarkupColorChanged();
}

// ---- Originals, installation, items ----------------------------------------

void SharedPDFViewModel::resetAnnotations()
{
    AnnotationState &state = annotationState();
    // The same document object may be prepared again: give it back its own
    // annotations first, so that the originals are recorded as they were.
    if (PdfDocumentPtr previous = m_annotationDocument.lock())
        uninstallMarkups(*previous, state.originalAnnotations, state.installedAnnotations,
                         [this](int page) { emit annotationsChangedOnPage(page); });

    m_annotationUndoManager->clear();
    m_annotationUndoManager->setUndoLimit(kUndoLimit);

    m_annotationDocument.reset();
    state.originalAnnotations.clear();
    state.originalsPending = false;
    ++state.originalsGeneration;
    state.installedAnnotations.clear();
    state.markupItems.clear();
    state.fileKeeper.reset();
    state.placementError.reset();
    state.loading.reset();

    setReflowSources({});
    setMarkups({});
    setAnnotationItems({});
    setCanUndoAnnotation(false);
    setCanRedoAnnotation(false);
}

void SharedPDFViewModel::prepareAnnotations()
{
    const PdfDocumentPtr document = pdfDocument();
    if (!document)
        return;
    if (m_annotationDocument.lock() == document) {
        completeMarkupLoading();
        return;
    }
    resetAnnotations();
    m_annotationDocument = document;
    AnnotationState &state = annotationState();
    if (document->pageCount() <= kAnnotatedPagesReadAtOnce) {
        state.originalAnnotations = recordOriginals(*document);
        rebuildAnnotationItems();
        return;
    }
    state.originalsPending = true;
    const quint64 generation = state.originalsGeneration;
    platform::runConcurrently([model = QPointer<SharedPDFViewModel>(this), document, generation] {
        OriginalAnnotationMap originals = recordOriginals(*document);
        platform::runOnMain([model, document, generation, originals = std::move(originals)]() mutable {
            if (!model || model->m_annotationDocument.lock() != document)
                return;
            AnnotationState &state = model->annotationState();
            if (!state.originalsPending || state.originalsGeneration != generation)
                return;
            state.originalAnnotations = std::move(originals);
            state.originalsPending = false;
            model->synchronizeAnnotations();
        });
    });
    rebuildAnnotationItems();
}

namespace {

// The originals and installed annotations belong to annotationDocument;
// for any other document there are none.
bool statesBelongTo(const std::weak_ptr<engine::PdfDocument> &annotationDocument,
                    const PdfDocumentPtr &document)
{
    return document && annotationDocument.lock() == document;
}

} // namespace

void SharedPDFViewModel::synchronizeAnnotations()
{
    const PdfDocumentPtr document = pdfDocument();
    if (!document)
        return;
    AnnotationState &state = annotationState();
    if (statesBelongTo(m_annotationDocument, document) && !state.originalsPending) {
        const int failed = installMarkups(*document, state.originalAnnotations, state.installedAnnotations,
                                          state.markups, [this](int page) { emit annotationsChangedOnPage(page); });
        // The markups stay in the list and the file; the pages that cannot
        // take them show them not.
        const bool wasShown = state.placementError && markupError() == state.placementError;
        state.placementError.reset();
        if (failed > 0) {
            state.placementError = kPlaceError + QStringLiteral("%1 条批注无法放到页面上，文件可能已损坏。").arg(failed);
            setMarkupError(state.placementError);
        } else if (wasShown) {
            setMarkupError(std::nullopt);
        }
    }
    rebuildAnnotationItems();
    setAnnotationRevision(annotationRevision() + 1);
}

void SharedPDFViewModel::rebuildAnnotationItems()
{
    const PdfDocumentPtr document = pdfDocument();
    if (!document) {
        setAnnotationItems({});
        return;
    }
    const AnnotationState &state = annotationState();
    const OriginalAnnotationMap none;
    const OriginalAnnotationMap &originals =
        statesBelongTo(m_annotationDocument, document) ? state.originalAnnotations : none;
    setAnnotationItems(buildItems(*document, originals, state.markups, &annotationState().markupItems));
}

// ---- Commits and undo ------------------------------------------------------

void SharedPDFViewModel::commitAnnotations(std::vector<ReadingMarkup> list, const QString &name)
{
    if (list == markups())
        return;
    // push() runs the command's redo, which applies the new list.
    m_annotationUndoManager->push(new MarkupCommitCommand(this, markups(), std::move(list), name));
    updateAnnotationUndoState();
}

void SharedPDFViewModel::applyAnnotations(std::vector<ReadingMarkup> list)
{
    completeMarkupLoading();
    if (list == markups())
        return;
    setMarkups(std::move(list));
    synchronizeAnnotations();
    persistMarkups();
    updateAnnotationUndoState();
}

// ---- The annotation file ---------------------------------------------------

QString SharedPDFViewModel::markupURL(const QUrl &documentURL) const
{
    if (annotationDirectory().isEmpty())
        return QString();
    return markupFilePath(annotationDirectory(), platform::standardizedPath(documentURL.toLocalFile()));
}

void SharedPDFViewModel::loadMarkups(const QUrl &documentURL, const PdfDocumentPtr &document, int shownPage)
{
    if (pdfDocument() != document)
        setPdfDocument(document);
    resetAnnotations();
    prepareAnnotations();

    m_retainedSelection.reset();
    m_retainedDestination.reset();
    setSelectionText(QString());
    setTextSelectionMode(false);
    setAnnotationRevision(0);
    setMarkupError(std::nullopt);

    const QString path = markupURL(documentURL);
    QByteArray bytes;
    QString error;
    const platform::StoredRead read =
        path.isEmpty() ? platform::StoredRead::Absent : platform::readStoredFile(path, &bytes, &error);
    AnnotationState &state = annotationState();
    if (read == platform::StoredRead::Absent) {
        state.fileKeeper.noteLoaded(path);
        synchronizeAnnotations();
        return;
    }
    // Not to be written over until the whole list is known to read.
    state.fileKeeper.noteUnreadable(path);
    if (read == platform::StoredRead::Unreadable) {
        setMarkupError(kLoadError + error);
        return;
    }
    // The page shown first gets its markups now; the rest follow.
    std::vector<ReadingMarkup> shown;
    for (ReadingMarkup &markup : decodeMarkupsOnPage(bytes, shownPage)) {
        if (document && isValidMarkup(markup, *document))
            shown.push_back(std::move(markup));
    }
    state.loading = std::make_shared<MarkupLoading>(path, std::move(bytes), document);
    state.loading->start([model = QPointer<SharedPDFViewModel>(this),
                          loading = std::weak_ptr<MarkupLoading>(state.loading)] {
        platform::runOnMain([model, loading] {
            if (model && !loading.expired() && loading.lock() == model->annotationState().loading)
                model->completeMarkupLoading();
        });
    });
    setMarkups(std::move(shown));
    synchronizeAnnotations();
}

bool SharedPDFViewModel::markupsLoading() const
{
    return m_annotationState && m_annotationState->loading;
}

void SharedPDFViewModel::completeMarkupLoading()
{
    AnnotationState &state = annotationState();
    const std::shared_ptr<MarkupLoading> loading = std::move(state.loading);
    if (!loading)
        return;
    state.loading.reset();
    const DecodedMarkups &result = loading->result();
    const QString &path = loading->path();
    if (!result.valid) {
        // What was shown of the file goes: the file stays as it is.
        setMarkups({});
        synchronizeAnnotations();
        setMarkupError(kLoadError + result.error);
        emit markupsLoaded();
        return;
    }
    state.fileKeeper.noteReadable(path);
    if (result.dropped > 0)
        state.fileKeeper.noteDropped(path);
    setMarkups(*result.valid);
    synchronizeAnnotations();
    if (result.dropped > 0) {
        // Told once, as the paper opens; the file keeps them (a copy is set
        // aside before the next save).
        const QString left = kPlaceError
            + QStringLiteral("%1 条批注所在的页面或位置在这份 PDF 中已不存在，没有显示；下次保存时，原批注文件另留一份副本。").arg(result.dropped);
        const std::optional<QString> placed = state.placementError;
        setMarkupError(placed ? *placed + QLatin1Char('\n') + left : left);
    }
    emit markupsLoaded();
}

void SharedPDFViewModel::persistMarkups()
{
    if (pdfDocumentURL().isEmpty())
        return;
    completeMarkupLoading();
    QString error;
    const QString path = markupURL(pdfDocumentURL());
    const QString pending = (path.isEmpty() ? pdfDocumentURL().toLocalFile() : path) + QStringLiteral("#annotations");
    const auto fail = [&](const QString &text) {
        setMarkupError(kSaveError + text);
        platform::noteUnsaved(pending, QStringLiteral("批注：") + pdfDocumentURL().fileName());
        m_unsavedMarkupsWriter = [this] { persistMarkups(); };
        sideFileSaveFailed();
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No data folder is available."));
    if (!platform::ensureFolder(annotationDirectory(), &error)
        || !annotationState().fileKeeper.write(path, markups(), &error))
        return fail(error);
    m_unsavedMarkupsWriter = nullptr;
    platform::noteSaved(pending);
    setMarkupError(annotationState().placementError);
    notifySidecarChanged(QStringLiteral("annotations"));
}

void SharedPDFViewModel::reloadSharedAnnotations()
{
    const PdfDocumentPtr document = pdfDocument();
    if (pdfDocumentURL().isEmpty() || !statesBelongTo(m_annotationDocument, document))
        return;
    completeMarkupLoading();
    const QString path = markupURL(pdfDocumentURL());
    MarkupFileContent content = readMarkupFile(path);
    if (!content.exists && content.error.isEmpty())
        content.error = QStringLiteral("The file doesn’t exist.");
    if (content.markups) {
        for (const ReadingMarkup &markup : *content.markups) {
            if (!isValidMarkup(markup, *document)) {
                content.markups.reset();
                content.error = kCorruptFile;
                break;
            }
        }
    }
    if (!content.markups) {
        setMarkupError(kSyncError + content.error);
        return;
    }
    annotationState().fileKeeper.noteReadable(path);
    if (*content.markups == markups())
        return;
    prepareAnnotations();
    setMarkups(std::move(*content.markups));
    m_annotationUndoManager->clear();
    synchronizeAnnotations();
    updateAnnotationUndoState();
    setMarkupError(annotationState().placementError);
}

} // namespace folvan
