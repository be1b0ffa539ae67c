// The pane's command surface: the record of what the pane can do now, and
// the operations behind the commands that belong to the surface itself
// (book or page, reflow, zoom, reset, a new note, the annotation summary,
// the page layout).

#include "pane/PaneController.h"

#include "annotations/PaneAnnotations.h"
#include "annotations/ReflowTextMap.h"
#include "model/ReflowTypography.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/Desktop.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/ReaderPreferences.h"

#include <QPointer>
#include <QUndoStack>

#include <algorithm>

namespace folvan::pane {

namespace {

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

} // namespace

ReaderActions PaneController::readerActions()
{
    // The closures reach the pane through a guarded pointer: a record kept
    // by a menu or the palette acts on the live pane, and on nothing once
    // the pane is gone.
    QPointer<PaneController> pane(this);
    auto on = [pane](auto operation) {
        return [pane, operation] {
            if (pane)
                operation(pane.data());
        };
    };
    const model::SharedPDFViewModel *model = m_viewModel;

    ReaderActions actions;
    actions.hasDocument = model->pdfDocument() != nullptr;
    actions.isBook = m_flipBookMode && !m_reflowMode;
    actions.searchVisible = model->showSearch();
    actions.hasMatches = !model->searchResults().empty();
    actions.open = on([](PaneController *p) { p->selectAndOpenPDF(); });
    actions.openRecent = [pane](const QUrl &url) {
        if (pane)
            pane->loadPDF(url);
    };
    actions.pod = on([](PaneController *p) { p->openShortPDF(); });
    actions.move = on([](PaneController *p) { p->moveCurrentPDF(); });
    actions.reveal = on([](PaneController *p) { p->showPDFInFinder(); });
    actions.external = on([](PaneController *p) { p->openPDFInDefaultViewer(); });
    actions.trash = on([](PaneController *p) { p->setShowDeleteConfirmation(true); });
    actions.close = on([](PaneController *p) { p->closePDF(); });
    actions.rename = on([](PaneController *p) { p->beginRename(); });
    actions.find = on([](PaneController *p) { p->findInPDF(); });
    actions.nextMatch = [pane](bool forward) {
        if (pane)
            pane->stepSearch(forward);
    };
    actions.switchMode = on([](PaneController *p) { p->switchMode(); });
    actions.reflow = on([](PaneController *p) { p->toggleReflow(); });
    actions.newNote = on([](PaneController *p) { p->createPaperNote(); });
    actions.outline = on([](PaneController *p) { p->panelToggled(PanePanel::outline); });
    actions.notes = on([](PaneController *p) { p->panelToggled(PanePanel::notes); });
    actions.scholar = on([](PaneController *p) { p->panelToggled(PanePanel::scholar); });
    actions.help = on([](PaneController *p) { p->setShowShortcuts(true); });
    actions.zoom = [pane](double step) {
        if (pane)
            pane->zoom(step);
    };
    actions.resetView = on([](PaneController *p) { p->resetView(); });
    actions.canGoBack = !model->backLocations().empty();
    actions.canGoForward = !model->forwardLocations().empty();
    actions.goBack = on([](PaneController *p) { p->viewModel()->returnLocation(false); });
    actions.goForward = on([](PaneController *p) { p->viewModel()->returnLocation(true); });
    actions.bookmark = on([](PaneController *p) { p->viewModel()->toggleBookmark(); });
    actions.copy = on([](PaneController *p) { p->viewModel()->copySelection(); });
    actions.hasSelection = !model->selectionText().isEmpty();
    actions.hasAnnotations = !m_annotations->annotationItems().empty();
    actions.canUndoAnnotation = m_annotations->canUndoAnnotation();
    actions.canRedoAnnotation = m_annotations->canRedoAnnotation();
    actions.highlight = on([](PaneController *p) { p->annotations()->addMarkup(QStringLiteral("highlight"), QString()); });
    actions.underline = on([](PaneController *p) { p->annotations()->addMarkup(QStringLiteral("underline"), QString()); });
    actions.undoAnnotation = on([](PaneController *p) {
        p->annotations()->annotationUndoManager()->undo();
        p->annotations()->updateAnnotationUndoState();
    });
    actions.redoAnnotation = on([](PaneController *p) {
        p->annotations()->annotationUndoManager()->redo();
        p->annotations()->updateAnnotationUndoState();
    });
    actions.copyAnnotations = on([](PaneController *p) { p->copyAnnotations(); });
    actions.exportAnnotations = on([](PaneController *p) { p->annotations()->exportAnnotationSummary(); });
    actions.exportPDF = on([](PaneController *p) { p->annotations()->exportAnnotatedPDF(); });
    actions.commandPalette = on([](PaneController *p) { p->setShowCommandPalette(true); });
    actions.comparisonOpen = m_isSplit;
    actions.toggleComparison = m_toggleComparison;
    actions.focusOtherPane = [] {};
    actions.pageLayout = m_pageLayout;
    actions.setPageLayout = [pane](platform::BookLayout value) {
        if (pane)
            pane->choosePageLayout(value);
    };
    return actions;
}

ReaderPaneSnapshot PaneController::snapshot()
{
    ReaderPaneSnapshot snapshot;
    snapshot.pane = m_pane;
    snapshot.model = m_viewModel;
    if (!m_viewModel->pdfDocumentURL().isEmpty())
        snapshot.url = m_viewModel->pdfDocumentURL();
    snapshot.actions = readerActions();
    return snapshot;
}

// The snapshot is compared after the current change has run its course and
// reported only when it differs from the last one reported.
void PaneController::connectCommandSurface()
{
    model::SharedPDFViewModel *model = m_viewModel;
    for (auto signal : {&model::SharedPDFViewModel::pdfDocumentChanged, &model::SharedPDFViewModel::pdfDocumentURLChanged,
                        &model::SharedPDFViewModel::showSearchChanged, &model::SharedPDFViewModel::searchResultsChanged,
                        &model::SharedPDFViewModel::backLocationsChanged, &model::SharedPDFViewModel::forwardLocationsChanged,
                        &model::SharedPDFViewModel::selectionTextChanged})
        connect(model, signal, this, &PaneController::scheduleSnapshotCheck);
    for (auto signal : {&annotations::PaneAnnotations::annotationRevisionChanged,
                        &annotations::PaneAnnotations::canUndoAnnotationChanged,
                        &annotations::PaneAnnotations::canRedoAnnotationChanged})
        connect(m_annotations, signal, this, &PaneController::scheduleSnapshotCheck);
    for (auto signal : {&PaneController::flipBookModeChanged, &PaneController::reflowModeChanged,
                        &PaneController::pageLayoutChanged, &PaneController::isSplitChanged})
        connect(this, signal, this, &PaneController::scheduleSnapshotCheck);
    scheduleSnapshotCheck();
}

void PaneController::scheduleSnapshotCheck()
{
    if (m_snapshotCheckScheduled)
        return;
    m_snapshotCheckScheduled = true;
    platform::runOnMain(this, [this] {
        m_snapshotCheckScheduled = false;
        ReaderPaneSnapshot current = snapshot();
        if (m_lastSnapshot && *m_lastSnapshot == current)
            return;
        m_lastSnapshot = std::move(current);
        emit snapshotChanged();
    });
}

// ---- Book, page and reflow ----------------------------------------------------

bool PaneController::readingMode() const
{
    return m_flipBookMode && !m_reflowMode;
}

void PaneController::readingModeChosen(bool value)
{
    setReflowMode(false);
    if (value == m_flipBookMode)
        return;
    m_viewModel->readingModeChosen(value);
    setFlipBookMode(value);
}

void PaneController::switchMode()
{
    if (m_reflowMode) {
        toggleReflow();
        return;
    }
    readingModeChosen(!readingMode());
}

void PaneController::toggleReflow()
{
    if (!m_viewModel->pdfDocument())
        return;
    m_viewModel->reflowToggling(!m_reflowMode);
    setReflowMode(!m_reflowMode);
    m_viewModel->readingViewSwitched();
}

void PaneController::showOriginal(const model::ReadingLocation &location)
{
    if (m_reflowMode)
        toggleReflow();
    m_viewModel->navigate(location, true);
}

// ---- Zoom and reset -----------------------------------------------------------------

void PaneController::zoom(double step)
{
    if (m_reflowMode) {
        // The size's default and range are the typography's own: the step
        // is clamped as every other change of it is.
        const QVariantMap shown = reflowAppearance();
        QVariantMap appearance = shown;
        const QString fontSize = QStringLiteral("fontSize");
        const double current = model::ReflowTypography::normalized(appearance).value(fontSize).toDouble();
        appearance.insert(fontSize, current + step * 10);
        m_viewModel->reflowAppearanceChosen(model::ReflowTypography::normalized(appearance));
        model::ReflowTypography::save(model::ReflowTypography::changes(shown, appearance), defaults());
        return;
    }
    zoomTo(std::clamp(m_scaleFactor + step, platform::kMinZoom, platform::kMaxZoom));
}

void PaneController::zoomTo(double factor)
{
    setScaleFactor(factor);
    defaults().setValue(platform::prefkey::scaleFactor, factor);
}

void PaneController::resetView()
{
    if (m_reflowMode) {
        m_viewModel->reflowAppearanceChosen(model::ReflowTypography::defaults());
        model::ReflowTypography::save(model::ReflowTypography::defaults(), defaults());
        return;
    }
    setRotationAngle(0);
    setScaleFactor(1.0);
    defaults().setValue(platform::prefkey::scaleFactor, 1.0);
}

// ---- Notes, annotations, layout --------------------------------------------------

void PaneController::createPaperNote()
{
    const auto &document = m_viewModel->pdfDocument();
    if (!m_currentPaperID || !document)
        return;
    std::vector<model::ReadingTextSource> sources = m_viewModel->reflowSources();
    if (sources.empty() && m_viewModel->retainedSelection())
        sources = annotations::selectionPassages(*m_viewModel->retainedSelection(), document);
    createPaperNote(sources);
}

void PaneController::createPaperNote(const std::vector<model::ReadingTextSource> &sources)
{
    if (!m_currentPaperID || !m_viewModel->pdfDocument())
        return;

    notes::PaperNote note;
    note.id = QUuid::createUuid();
    note.paperID = m_currentPaperID;
    note.page = sources.empty() ? std::int64_t(m_viewModel->currentPageIndex()) : sources.front().page;
    if (!sources.empty())
        note.sources = sources;
    note.createdAt = QDateTime::currentDateTimeUtc();
    note.updatedAt = note.createdAt;

    notes::PaperNotesStore &store = paperNotes();
    QList<notes::PaperNote> notes = store.notes();
    notes.append(note);
    store.setNotes(notes);
    store.schedule();

    // Typing goes into the new note's title, not to the page.
    m_noteTitleFocus = true;
    setSelectedNoteID(note.id);
    setShowNotes(true);
}

void PaneController::copyAnnotations()
{
    if (const std::optional<QString> summary = m_annotations->annotationSummary())
        platform::setClipboardText(*summary);
}

bool PaneController::showsPanel(PanePanel panel) const
{
    switch (panel) {
    case PanePanel::outline:
        return m_showOutline;
    case PanePanel::notes:
        return m_showNotes;
    case PanePanel::scholar:
        return m_showGG;
    }
    return false;
}

void PaneController::panelToggled(PanePanel panel)
{
    const bool shown = !showsPanel(panel);
    switch (panel) {
    case PanePanel::outline:
        return setShowOutline(shown);
    case PanePanel::notes:
        return setShowNotes(shown);
    case PanePanel::scholar:
        return setShowGG(shown);
    }
}

void PaneController::panelClosed(PanePanel panel)
{
    if (showsPanel(panel))
        panelToggled(panel);
}

void PaneController::choosePageLayout(platform::BookLayout value)
{
    setPageLayout(value);
}

} // namespace folvan::pane
