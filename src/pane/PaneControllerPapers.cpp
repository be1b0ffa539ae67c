// Choosing a paper in the open panel, showing a paper note's source passage
// and closing the paper.

#include "pane/PaneController.h"

#include "history/ReadingHistory.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "pane/PanePaths.h"

namespace folvan::pane {

void PaneController::selectAndOpenPDF()
{
    if (!m_fileChooser)
        return;
    platform::Preferences &defaults = platform::Preferences::shared();
    const QString key = platform::prefkey::lastAccessedDirectory;
    const std::optional<QUrl> url = m_fileChooser->choosePDF(defaults.urlValue(key));
    if (!url || url->isEmpty())
        return;
    defaults.setValue(key, url->adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash));
    loadPDF(*url);
}

void PaneController::openNoteSource(const notes::PaperNote &note)
{
    const std::optional<QString> path = paperNotes().resolve(note.paperID);
    if (!path)
        return;
    const QUrl url = QUrl::fromLocalFile(*path);
    const std::optional<model::ReadingTextSource> source =
        note.sources && !note.sources->empty() ? std::optional(note.sources->front()) : std::nullopt;
    if (!sameFile(url, m_viewModel->pdfDocumentURL())) {
        loadPDF(url, note.page ? std::optional(int(*note.page)) : std::nullopt, source);
        return;
    }
    if (source) {
        m_viewModel->navigate(m_annotations->location(*source), true);
        return;
    }
    model::ReadingLocation location;
    location.page = note.page.value_or(0);
    m_viewModel->navigate(location, true);
}

void PaneController::closePDF()
{
    saveReading(true);
    history().flush();
    m_openGeneration = QUuid::createUuid();
    cancelSearchWork();
    setIsEditing(false);
    setFilenameFocused(false);

    m_annotations->resetAnnotations();
    m_viewModel->documentClosed();
    m_viewModel->holdSideFiles(std::nullopt);
    m_heldPaper.reset();

    setReflowMode(false);
    setCurrentPaperID(std::nullopt);
    setSelectedNoteID(std::nullopt);
    setShowGG(false);
    setShowNotes(false);
    setShowOutline(false);
    setFileName(kEmptyTitle);
}

} // namespace folvan::pane
