// A pane's annotation state, its installation on the pages, the
// commits with their undo steps, and the annotation file.

#include "annotations/PaneAnnotations.h"

#include "model/SharedPDFViewModel.h"

#include <QFileInfo>
#include <QPointer>
#include <QUndoStack>

#include "annotations/AnnotationGeometry.h"
#include "annotations/AnnotationState.h"
#include "annotations/MarkupCommitCommand.h"
#include "annotations/ReflowTextMap.h"
#include "platform/DataFolderAccess.h"
#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "platform/UnsavedChanges.h"

namespace folvan::annotations {

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

PaneAnnotations::PaneAnnotations(model::SharedPDFViewModel &model)
    : m_model(model)
    , m_annotationUndoManager(new QUndoStack(this))
{
    // Only this pane's own undo stack drives its undo and redo flags.
    connect(m_annotationUndoManager, &QUndoStack::canUndoChanged, this, &PaneAnnotations::updateAnnotationUndoState);
    connect(m_annotationUndoManager, &QUndoStack::canRedoChanged, this, &PaneAnnotations::updateAnnotationUndoState);
    // Jumps to a passage mark it in the page and book views.
    model.setPassageFinder([&model](const model::ReadingTextSource &source) {
        return passageSelection(source, model.pdfDocument());
    });
}

PaneAnnotations &PaneAnnotations::attach(model::SharedPDFViewModel &model)
{
    auto *annotations = new PaneAnnotations(model);
    model.setAnnotations(annotations);
    return *annotations;
}

PaneAnnotations *PaneAnnotations::of(const model::SharedPDFViewModel &model)
{
    return qobject_cast<PaneAnnotations *>(model.annotations());
}

void PaneAnnotations::setAnnotationRevision(int value)
{
    m_annotationRevision = value;
    emit annotationRevisionChanged();
}

void PaneAnnotations::setMarkupError(std::optional<QString> value)
{
    m_markupError = std::move(value);
    emit markupErrorChanged();
}

void PaneAnnotations::setCanUndoAnnotation(bool value)
{
    m_canUndoAnnotation = value;
    emit canUndoAnnotationChanged();
}

void PaneAnnotations::setCanRedoAnnotation(bool value)
{
    m_canRedoAnnotation = value;
    emit canRedoAnnotationChanged();
}

void PaneAnnotations::updateAnnotationUndoState()
{
    setCanUndoAnnotation(m_annotationUndoManager->canUndo());
    setCanRedoAnnotation(m_annotationUndoManager->canRedo());
}

void PaneAnnotations::setMarkups(std::vector<ReadingMarkup> value)
{
    m_state.markups = std::move(value);
    emit markupsChanged();
}

void PaneAnnotations::setAnnotationItems(std::vector<ReadingAnnotationItem> value)
{
    m_state.annotationItems = std::move(value);
    emit annotationItemsChanged();
}

void PaneAnnotations::markupColorChosen(MarkupColor value)
{
    m_state.preferredMarkupColor = value;
    emit preferredMarkupColorChanged();
}

// ---- Originals, installation, items ----------------------------------------

void PaneAnnotations::resetAnnotations()
{
    AnnotationState &state = m_state;
    // The same document object may be prepared again: give it back its own
    // annotations first, so that the originals are recorded as they were.
    if (model::PdfDocumentPtr previous = m_annotationDocument.lock())
        uninstallMarkups(*previous, state.originalAnnotations, state.installedAnnotations,
                         [this](int page) { emit annotationsChangedOnPage(page); });

    m_annotationUndoManager->clear();
    m_annotationUndoManager->setUndoLimit(kUndoLimit);

    m_annotationDocument.reset();
    state.originalAnnotations.clear();
    state.originalsPending = false;
    state.originalsReadPage = -1;
    state.originalsReading.stop();
    ++state.originalsGeneration;
    state.installedAnnotations.clear();
    state.markupItems.clear();
    state.fileKeeper.reset();
    state.placementError.reset();
    state.loadProblem.reset();
    state.setAsideNotice.reset();
    state.loading.reset();

    m_model.annotationsReset();
    setMarkups({});
    setAnnotationItems({});
    setCanUndoAnnotation(false);
    setCanRedoAnnotation(false);
}

void PaneAnnotations::prepareAnnotations(int shownPage)
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document)
        return;
    if (m_annotationDocument.lock() == document) {
        completeMarkupLoading();
        return;
    }
    resetAnnotations();
    m_annotationDocument = document;
    AnnotationState &state = m_state;
    if (document->pageCount() <= kAnnotatedPagesReadAtOnce) {
        state.originalAnnotations = recordOriginals(*document);
        rebuildAnnotationItems();
        return;
    }
    state.originalsPending = true;
    // The page shown first is read now and left alone by the worker: its
    // markups go on it before it is drawn.
    if (shownPage >= 0 && shownPage < document->pageCount()) {
        state.originalsReadPage = shownPage;
        if (std::vector<OriginalAnnotation> records = recordPageOriginals(*document, shownPage); !records.empty())
            state.originalAnnotations.emplace(shownPage, std::move(records));
    }
    const quint64 generation = state.originalsGeneration;
    platform::runConcurrently([model = QPointer<PaneAnnotations>(this), document, generation,
                               skipped = state.originalsReadPage, stopped = state.originalsReading.start()] {
        // The page being drawn goes first.
        OriginalAnnotationMap originals;
        {
            const engine::BackgroundWork background;
            originals = recordOriginals(*document, skipped, stopped.get());
        }
        if (stopped->load())
            return;
        platform::runOnMain([model, document, generation, originals = std::move(originals)]() mutable {
            if (!model || model->m_annotationDocument.lock() != document)
                return;
            const AnnotationState &state = model->annotationState();
            if (state.originalsPending && state.originalsGeneration == generation)
                model->originalsRead(std::move(originals));
        });
    });
    rebuildAnnotationItems();
}

void PaneAnnotations::originalsRead(OriginalAnnotationMap originals)
{
    AnnotationState &state = m_state;
    originals.merge(state.originalAnnotations);
    state.originalAnnotations = std::move(originals);
    state.originalsPending = false;
    state.originalsReadPage = -1;
    synchronizeAnnotations();
}

void PaneAnnotations::completeAnnotationLoading()
{
    prepareAnnotations();
    AnnotationState &state = m_state;
    const model::PdfDocumentPtr document = m_annotationDocument.lock();
    if (!state.originalsPending || !document)
        return;
    // Read here instead: the worker's reading is dropped.
    state.originalsReading.stop();
    ++state.originalsGeneration;
    originalsRead(recordOriginals(*document, state.originalsReadPage));
}

namespace {

// The originals and installed annotations belong to annotationDocument;
// for any other document there are none.
bool statesBelongTo(const std::weak_ptr<engine::PdfDocument> &annotationDocument,
                    const model::PdfDocumentPtr &document)
{
    return document && annotationDocument.lock() == document;
}

} // namespace

void PaneAnnotations::synchronizeAnnotations()
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document)
        return;
    AnnotationState &state = m_state;
    const bool installable = !state.originalsPending || state.originalsReadPage >= 0;
    if (statesBelongTo(m_annotationDocument, document) && installable) {
        const auto pageChanged = [this](int page) { emit annotationsChangedOnPage(page); };
        int failed = 0;
        if (!state.originalsPending) {
            failed = installMarkups(*document, state.originalAnnotations, state.installedAnnotations, state.markups,
                                    pageChanged);
        } else {
            // Only the page whose originals are known so far takes its markups.
            std::vector<ReadingMarkup> onPage;
            for (const ReadingMarkup &markup : state.markups) {
                if (markup.page == state.originalsReadPage)
                    onPage.push_back(markup);
            }
            failed = installMarkups(*document, state.originalAnnotations, state.installedAnnotations, onPage,
                                    pageChanged);
        }
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

void PaneAnnotations::rebuildAnnotationItems()
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document) {
        setAnnotationItems({});
        return;
    }
    const AnnotationState &state = m_state;
    const OriginalAnnotationMap none;
    const OriginalAnnotationMap &originals =
        statesBelongTo(m_annotationDocument, document) ? state.originalAnnotations : none;
    setAnnotationItems(buildItems(*document, originals, state.markups, &m_state.markupItems));
}

// ---- Commits and undo ------------------------------------------------------

void PaneAnnotations::commitAnnotations(std::vector<ReadingMarkup> list, const QString &name)
{
    if (list == markups())
        return;
    // push() runs the command's redo, which applies the new list.
    m_annotationUndoManager->push(new MarkupCommitCommand(this, markups(), std::move(list), name));
    updateAnnotationUndoState();
}

void PaneAnnotations::applyAnnotations(std::vector<ReadingMarkup> list)
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

QString PaneAnnotations::markupURL(const QUrl &documentURL) const
{
    if (m_model.annotationDirectory().isEmpty())
        return QString();
    return markupFilePath(m_model.annotationDirectory(), platform::standardizedPath(documentURL.toLocalFile()));
}

// A paper renamed or moved outside the reader: its markups lie under a name
// the history knew it by. They are copied to the paper's new name (never
// over a file there), and the old file stays as it is.
bool PaneAnnotations::carryFormerMarkupFile(const QUrl &documentURL, const QString &path, QString *error)
{
    const auto &formerPaths = m_model.services().formerPaths;
    if (!formerPaths)
        return false;
    for (const QString &older : formerPaths(platform::standardizedPath(documentURL.toLocalFile()))) {
        const QString candidate = markupURL(QUrl::fromLocalFile(older));
        if (candidate.isEmpty() || candidate == path || !QFileInfo(candidate).isFile())
            continue;
        if (platform::copyWithoutReplacing(candidate, path, error))
            return true;
        // Said, and not read where it lies: every save goes to the paper's
        // own name, and the former file stays untouched.
        setMarkupError(kLoadError + *error);
        return false;
    }
    return false;
}

void PaneAnnotations::loadMarkups(const QUrl &documentURL, const model::PdfDocumentPtr &document, int shownPage,
                                  const std::optional<QString> &readFrom)
{
    m_model.documentLoading(document);
    resetAnnotations();
    prepareAnnotations(shownPage);
    // What the previous paper could not save stays named under its own key.
    m_unsavedKey = QStringLiteral("annotations#") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_markupsUnsaved = false;

    m_model.annotationsLoadStarted();
    readStoredMarkups(documentURL, document, shownPage, readFrom);
}

void PaneAnnotations::sideFilesSettled(const QString &from)
{
    completeMarkupLoading();
    m_state.fileKeeper.loadedFileMoved(from, markupURL(m_model.pdfDocumentURL()));
}

void PaneAnnotations::documentFileReplaced()
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (!document || m_model.pdfDocumentURL().isEmpty() || m_annotationDocument.lock() == document)
        return;
    completeMarkupLoading();
    // The file lacks what its last save could not write: written now, or
    // else kept for the new pages.
    std::optional<std::vector<ReadingMarkup>> unsaved;
    if (m_markupsUnsaved)
        persistMarkups();
    if (m_markupsUnsaved)
        unsaved = markups();
    resetAnnotations();
    const int shownPage = m_model.currentPageIndex();
    prepareAnnotations(shownPage);
    readStoredMarkups(m_model.pdfDocumentURL(), document, shownPage);
    completeMarkupLoading();
    if (unsaved) {
        std::erase_if(*unsaved, [&](const ReadingMarkup &markup) { return !isValidMarkup(markup, *document); });
        applyAnnotations(std::move(*unsaved));
    }
}

void PaneAnnotations::readStoredMarkups(const QUrl &documentURL, const model::PdfDocumentPtr &document, int shownPage,
                                        const std::optional<QString> &readFrom)
{
    setAnnotationRevision(0);
    setMarkupError(std::nullopt);

    const QString path = readFrom.value_or(markupURL(documentURL));
    QByteArray bytes;
    QString error;
    platform::StoredFileVersion version;
    platform::StoredRead read =
        path.isEmpty() ? platform::StoredRead::Absent : platform::readStoredFile(path, &bytes, &error, &version);
    if (read == platform::StoredRead::Absent && !readFrom && !path.isEmpty()
        && carryFormerMarkupFile(documentURL, path, &error))
        read = platform::readStoredFile(path, &bytes, &error, &version);
    AnnotationState &state = m_state;
    if (read == platform::StoredRead::Absent) {
        state.fileKeeper.noteLoaded(path);
        synchronizeAnnotations();
        return;
    }
    // Not to be written over until the whole list is known to read.
    state.fileKeeper.noteUnreadable(path);
    if (read == platform::StoredRead::Unreadable) {
        state.loadProblem = kLoadError + error;
        setMarkupError(state.loadProblem);
        return;
    }
    // The page shown first gets its markups now; the rest follow.
    std::vector<ReadingMarkup> shown;
    for (ReadingMarkup &markup : decodeMarkupsOnPage(bytes, shownPage)) {
        if (document && isValidMarkup(markup, *document))
            shown.push_back(std::move(markup));
    }
    state.loading = std::make_shared<MarkupLoading>(path, std::move(bytes), document, version);
    state.loading->start([model = QPointer<PaneAnnotations>(this),
                          loading = std::weak_ptr<MarkupLoading>(state.loading)] {
        platform::runOnMain([model, loading] {
            if (model && !loading.expired() && loading.lock() == model->annotationState().loading)
                model->completeMarkupLoading();
        });
    });
    setMarkups(std::move(shown));
    synchronizeAnnotations();
}

void PaneAnnotations::completeMarkupLoading()
{
    AnnotationState &state = m_state;
    const std::shared_ptr<MarkupLoading> loading = std::move(state.loading);
    if (!loading)
        return;
    state.loading.reset();
    DecodedMarkups result = loading->takeResult();
    const QString &path = loading->path();
    if (!result.valid) {
        // What was shown of the file goes: the file stays as it is.
        setMarkups({});
        synchronizeAnnotations();
        state.loadProblem = kLoadError + result.error;
        setMarkupError(state.loadProblem);
        emit markupsLoaded();
        return;
    }
    state.fileKeeper.noteReadable(path);
    state.fileKeeper.noteRead(path, loading->version(), *result.valid);
    state.fileKeeper.keepEncodings(std::move(result.encoded));
    if (result.dropped > 0)
        state.fileKeeper.noteDropped(path);
    setMarkups(std::move(*result.valid));
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

void PaneAnnotations::persistMarkups()
{
    if (m_model.pdfDocumentURL().isEmpty())
        return;
    completeMarkupLoading();
    QString error;
    const QString path = markupURL(m_model.pdfDocumentURL());
    const QString pending = m_unsavedKey;
    const auto fail = [&](const QString &text) {
        // Held back while another reader holds the data folder: the window
        // says so once, for every store.
        if (!platform::DataFolderAccess::shared().holdsBack(path))
            setMarkupError(kSaveError + text);
        platform::noteUnsaved(pending, QStringLiteral("批注：") + m_model.pdfDocumentURL().fileName());
        m_markupsUnsaved = true;
        m_model.sideFileSaveFailed();
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No data folder is available."));
    if (const std::optional<QString> &held = m_model.sideFilesHeld())
        return fail(*held);
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    const auto fits = [&document](const ReadingMarkup &markup) { return document && isValidMarkup(markup, *document); };
    std::optional<std::vector<ReadingMarkup>> merged;
    QString setAside;
    if (!platform::ensureFolder(m_model.annotationDirectory(), &error)
        || !m_state.fileKeeper.write(path, markups(), &error, fits, &merged, &setAside))
        return fail(error);
    m_markupsUnsaved = false;
    platform::noteSaved(pending);
    if (!setAside.isEmpty()) {
        // The file that could not be read is kept, and the reader told where.
        QString told = m_state.loadProblem.value_or(QStringLiteral("批注文件已无法读取"));
        if (!told.endsWith(QChar(0x3002)))
            told += QStringLiteral("；");
        m_state.setAsideNotice = told + QStringLiteral("原文件已保留为 %1。").arg(QFileInfo(setAside).fileName());
        m_state.loadProblem.reset();
    }
    if (merged)
        takeMergedMarkups(std::move(*merged));
    setMarkupError(standingError());
    m_model.notifySidecarChanged(model::SidecarKind::Annotations);
}

std::optional<QString> PaneAnnotations::standingError() const
{
    if (m_state.placementError && m_state.setAsideNotice)
        return *m_state.placementError + QLatin1Char('\n') + *m_state.setAsideNotice;
    return m_state.placementError ? m_state.placementError : m_state.setAsideNotice;
}

void PaneAnnotations::takeMergedMarkups(std::vector<ReadingMarkup> list)
{
    // The file now holds markups another reader wrote as well: the pane
    // shows what it holds. The steps to undo knew the list without them,
    // and are let go once the step that saved runs no more.
    setMarkups(std::move(list));
    synchronizeAnnotations();
    platform::runOnMain(this, [this] {
        m_annotationUndoManager->clear();
        updateAnnotationUndoState();
    });
}

void PaneAnnotations::reloadSharedAnnotations()
{
    const model::PdfDocumentPtr document = m_model.pdfDocument();
    if (m_model.pdfDocumentURL().isEmpty() || !statesBelongTo(m_annotationDocument, document))
        return;
    completeMarkupLoading();
    const QString path = markupURL(m_model.pdfDocumentURL());
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
    m_state.fileKeeper.noteReadable(path);
    m_state.fileKeeper.noteRead(path, content.version, *content.markups);
    if (*content.markups == markups())
        return;
    prepareAnnotations();
    setMarkups(std::move(*content.markups));
    m_annotationUndoManager->clear();
    synchronizeAnnotations();
    updateAnnotationUndoState();
    setMarkupError(standingError());
}

void PaneAnnotations::documentFollowed(const QUrl &from, const QUrl &to)
{
    m_state.fileKeeper.loadedFileMoved(markupURL(from), markupURL(to));
}

void PaneAnnotations::retryUnsavedAnnotations()
{
    if (m_markupsUnsaved)
        persistMarkups();
}

} // namespace folvan::annotations
