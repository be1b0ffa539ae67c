#pragma once

// The annotations of one reading pane: the user's markups of the open
// document, the listed items, the colour of new markups, the PDF's own
// annotations, the installation of the markups on the pages, the undo stack
// of their changes, the annotation file, and the exports. The pane makes one
// for its model and hands it over (attach); views reach it with of().
//
// The class's operations are spread over one source file per concern:
//   PaneAnnotations.cpp          state, installation, commits and undo, the
//                                annotation file
//   PaneAnnotationsEditing.cpp   adding, editing and deleting; the reflow
//                                selection
//   PaneAnnotationsExport.cpp    annotated copy, overlay rows, passage
//                                places, Markdown summary
//
// Everything runs on the main thread.

#include "annotations/AnnotationState.h"
#include "model/PaneAnnotationsInterface.h"
#include "model/ReadingLocation.h"
#include "model/ReadingTextSource.h"

#include <QString>
#include <QUrl>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QUndoStack;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::annotations {

class PaneAnnotations : public model::PaneAnnotationsInterface {
    Q_OBJECT

    Q_PROPERTY(int annotationRevision READ annotationRevision WRITE setAnnotationRevision NOTIFY annotationRevisionChanged)
    Q_PROPERTY(std::optional<QString> markupError READ markupError WRITE setMarkupError NOTIFY markupErrorChanged)
    Q_PROPERTY(bool canUndoAnnotation READ canUndoAnnotation NOTIFY canUndoAnnotationChanged)
    Q_PROPERTY(bool canRedoAnnotation READ canRedoAnnotation NOTIFY canRedoAnnotationChanged)

public:
    using DocumentPtr = std::shared_ptr<engine::PdfDocument>;

    // The annotations of `model`'s pane; they work on its document and
    // selection. Hand them to the model (attach does both).
    explicit PaneAnnotations(model::SharedPDFViewModel &model);
    // Makes the annotations of `model`'s pane and hands them to it.
    static PaneAnnotations &attach(model::SharedPDFViewModel &model);
    // The annotations handed to `model`; null when it has none.
    static PaneAnnotations *of(const model::SharedPDFViewModel &model);

    model::SharedPDFViewModel &model() const { return m_model; }

    // ---- Published state ----------------------------------------------------

    int annotationRevision() const { return m_annotationRevision; }
    void setAnnotationRevision(int value);
    const std::optional<QString> &markupError() const { return m_markupError; }
    void setMarkupError(std::optional<QString> value);
    // Whether the pane's annotation undo stack can undo or redo; they follow
    // the stack (updateAnnotationUndoState).
    bool canUndoAnnotation() const { return m_canUndoAnnotation; }
    bool canRedoAnnotation() const { return m_canRedoAnnotation; }

    // The pane's annotation undo stack.
    QUndoStack *annotationUndoManager() const { return m_annotationUndoManager; }
    // Sets canUndoAnnotation and canRedoAnnotation from the undo stack; runs
    // whenever the stack can undo or redo something else.
    void updateAnnotationUndoState();

    // The state of the open document's annotations (markups, listed items,
    // preferred colour, the document's own and the installed annotations).
    // Its published parts notify through markupsChanged,
    // annotationItemsChanged and preferredMarkupColorChanged.
    AnnotationState &annotationState() { return m_state; }
    const AnnotationState &annotationState() const { return m_state; }
    const std::vector<ReadingMarkup> &markups() const { return m_state.markups; }
    void setMarkups(std::vector<ReadingMarkup> value);
    const std::vector<ReadingAnnotationItem> &annotationItems() const { return m_state.annotationItems; }
    void setAnnotationItems(std::vector<ReadingAnnotationItem> value);
    MarkupColor preferredMarkupColor() const { return m_state.preferredMarkupColor; }
    // The reader chose the colour of the markups to come.
    void markupColorChosen(MarkupColor value);

    // ---- State, installation, commits, file (PaneAnnotations.cpp) ----------

    // Overlay rows per page index: x, y, width, height (page space), red,
    // green, blue, alpha, and 1 for an underline or 0 for a highlight.
    using OverlayRowMap = std::map<int, std::vector<std::vector<double>>>;

    // Forgets the document's annotations: undo stack, originals, installed
    // annotations, markups, items, reflow passages, undo flags.
    void resetAnnotations();
    // Records the PDF's own annotations of the current document, once: a
    // long document's off the main thread, but those of `shownPage`, which
    // are read at once so that its markups are on it when first drawn.
    void prepareAnnotations(int shownPage = 0);
    // Puts every markup and the document's own annotations in place now,
    // reading what is still read off the main thread here: what is exported
    // holds them all.
    void completeAnnotationLoading();
    // Installs the markups on the pages, rebuilds the items, raises
    // annotationRevision.
    void synchronizeAnnotations();
    void rebuildAnnotationItems();
    // Makes `markups` the new list as one undo step named `name`: draws it,
    // saves it and tells the other panes. Nothing when it equals the list.
    void commitAnnotations(std::vector<ReadingMarkup> markups, const QString &name);
    // Sets, draws and saves a list; what every commit, undo and redo does.
    void applyAnnotations(std::vector<ReadingMarkup> markups);

    // The annotation file of a document.
    QString markupURL(const QUrl &documentURL) const;
    // Reads the document's annotation file (sets the model's pdfDocument):
    // the markups of `shownPage` at once, the others decoded off the main
    // thread and put in place when done (markupsLoaded).
    // With `readFrom`, the markups are read from that file alone (none when
    // it is empty): the paper's own, lying elsewhere until its name is
    // settled.
    void loadMarkups(const QUrl &documentURL, const DocumentPtr &document, int shownPage = 0,
                     const std::optional<QString> &readFrom = std::nullopt);
    // The annotation file read at load (`from`) now lies under the paper's
    // name: the next save merges into it what changed here since.
    void sideFilesSettled(const QString &from);
    // The open paper's file was written over, and the model holds the
    // document of its new bytes at the same URL: the annotation file is read
    // again for that document, so that the markups stand on its pages at
    // once and the file, read as it is, is written over as it was. What
    // the last save could not write stays in the list.
    void documentFileReplaced();
    // Whether the stored markups are still being decoded.
    bool markupsLoading() const { return bool(m_state.loading); }
    // Puts the stored markups in place now, waiting for their decoding if
    // need be: every change of the markups does this first, so that none
    // is made to (or saved from) the part read so far.
    void completeMarkupLoading();
    // Writes the markups to the file of the model's pdfDocumentURL and tells
    // the other panes.
    void persistMarkups();
    // Whether the last write of the annotation file failed.
    bool markupsUnsaved() const { return m_markupsUnsaved; }
    bool hasUnsavedAnnotations() const override { return m_markupsUnsaved; }
    // Another reader gave the paper (`from`) a new name (`to`) and its
    // annotation file with it: the next save merges into that file what
    // changed here since the file was read.
    void documentFollowed(const QUrl &from, const QUrl &to);
    // Re-reads the annotation file after another pane wrote it.
    void reloadSharedAnnotations() override;
    void retryUnsavedAnnotations() override;

    // ---- Adding and editing (PaneAnnotationsEditing.cpp) --------------------

    // The markup that stands for an item after a change.
    ReadingMarkup editableMarkup(const ReadingAnnotationItem &item) const;
    // Highlights ("highlight") or underlines ("underline") the model's
    // retained selection, merged with the overlapping annotations of that
    // kind.
    void addMarkup(const QString &kind, const QString &note);
    // Takes the reflow view's passages over as the pane's selection.
    bool acceptReflowSelection(const std::vector<model::ReadingTextSource> &sources);
    void deleteAnnotation(const QString &itemID);
    // `color` is absent when the user chose none.
    void editAnnotation(const QString &itemID, const QString &note, std::optional<MarkupColor> color);

    // ---- What carries them out (PaneAnnotationsExport.cpp) ------------------

    void exportAnnotatedPDF();
    OverlayRowMap rasterOverlays(bool includeSelection) const;
    // The reading position of a reflow passage.
    model::ReadingLocation location(const model::ReadingTextSource &source) const;
    // The Markdown summary; none without a document or annotation items.
    std::optional<QString> annotationSummary();
    void exportAnnotationSummary();

signals:
    void annotationRevisionChanged();
    void markupErrorChanged();
    void canUndoAnnotationChanged();
    void canRedoAnnotationChanged();
    void markupsChanged();
    // The stored markups are in place (markupError says what went wrong).
    void markupsLoaded();
    void annotationItemsChanged();
    void preferredMarkupColorChanged();
    // The page view redraws the annotations of this page.
    void annotationsChangedOnPage(int pageIndex);

private:
    // Reads the annotation file of `documentURL` for `document`, whose
    // annotations have just been prepared.
    void readStoredMarkups(const QUrl &documentURL, const DocumentPtr &document, int shownPage,
                           const std::optional<QString> &readFrom = std::nullopt);
    // Copies the annotation file of a former name of the paper (one the
    // history knew it by) to `path`, where none lies; false when there was
    // none to carry or the copy failed (then said in markupError).
    bool carryFormerMarkupFile(const QUrl &documentURL, const QString &path, QString *error);
    // The document's own annotations are read (those of the page read
    // first are kept): the markups go on every page.
    void originalsRead(OriginalAnnotationMap originals);
    // The placement problem and where an unreadable file was kept, as
    // the error line shows them while nothing else goes wrong.
    std::optional<QString> standingError() const;
    // Shows the list written after merging what another reader wrote.
    void takeMergedMarkups(std::vector<ReadingMarkup> list);
    void setCanUndoAnnotation(bool value);
    void setCanRedoAnnotation(bool value);
    // The file the user chose for an export of the open paper, or nothing
    // when the choice was cancelled or would overwrite the paper itself
    // (then the error is set).
    std::optional<QString> chooseExportPath(const QString &suffix, const QString &ending);

    model::SharedPDFViewModel &m_model;
    AnnotationState m_state;
    int m_annotationRevision = 0;
    std::optional<QString> m_markupError;
    bool m_canUndoAnnotation = false;
    bool m_canRedoAnnotation = false;
    QUndoStack *m_annotationUndoManager = nullptr;
    // The document whose own annotations have been taken over, held weakly.
    std::weak_ptr<engine::PdfDocument> m_annotationDocument;
    // The last save of the markups failed: they are written again.
    bool m_markupsUnsaved = false;
    // What the quit names as unsaved for this document's markups: one name
    // for each document opened, so that another paper written under the
    // same name never clears it.
    QString m_unsavedKey;
};

} // namespace folvan::annotations
