#pragma once

// The state and the logic of one reading pane, apart from anything on
// screen: its own document model, the paper it shows and how it shows it,
// and the pane's operations on that paper (opening, keeping the reading
// state in the history, the text search, daily paper, closing, the
// operations on the paper's file and the pane's commands). The widget that
// shows a pane owns its controller, shows its state and forwards input to
// it; alerts, confirmations and file panels reach the screen through the
// presenter and the file chooser the widget hands it.
//
// The pane's state is plain state with a getter and a ...Changed signal
// that is emitted when the value changes. The pane on screen never writes
// it: it reports what happened (a field got the keyboard, a panel was
// closed) through the operations named for it. The workspace
// gives the pane its "given" values (isSplit, isActive, peerURL, openRequest,
// focusToken, activate, toggleComparison) every time it lays the panes out.
// Stored preferences are read from the shared preference store when used.
//
// The logic lives in one source file per concern:
//   PaneController.cpp               the state and its handlers
//   PaneControllerOpening.cpp        loading a paper, the reading state
//   PaneControllerSearch.cpp         the text search
//   PaneControllerPapers.cpp         open panel, note sources, closing
//   PaneControllerDailyPaper.cpp     daily paper
//   PaneControllerStartup.cpp        start-up open, open requests, drops
//   PaneControllerFileOperations.cpp move, reveal, open elsewhere, trash,
//                                    the other pane's notices
//   PaneControllerRename.cpp         renaming (RenameRules.h cleans the name)
//   PaneCommands.cpp                 the command record and its own operations
//
// Everything runs on the main thread.

#include "engine/PdfTypes.h"
#include "history/DocumentReadingState.h"
#include "model/ReadingLocation.h"
#include "model/ReadingTextSource.h"
#include "model/PaneModelServices.h"
#include "pane/PaneNotifications.h"
#include "pane/PaperAccount.h"
#include "pane/PanePresenter.h"
#include "pane/ReaderPaneTypes.h"
#include "platform/ReadingModes.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace folvan::model {
class SharedPDFViewModel;
struct SearchBatch;
}

namespace folvan::history {
class ReadingHistory;
}

namespace folvan::notes {
class PaperNotesStore;
struct PaperNote;
}

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::platform {
class MainWorkItem;
class SerialQueue;
}

namespace folvan::annotations {
class PaneAnnotations;
}

namespace folvan::pane {

// The panels a pane shows beside or over its paper.
enum class PanePanel { outline, notes, scholar };

class PaneController : public QObject {
    Q_OBJECT

public:
    using Action = std::function<void()>;

    // Texts of the pane.
    static const QString kEmptyTitle;          // "打开一篇论文，开始阅读"
    static const QString kAlertTitle;          // "操作失败"
    static const QString kAlertButton;         // "确定"
    static const QString kUnreadablePDF;       // "无法打开此 PDF，文件可能已损坏或无法访问。"
    static const QString kPasswordProtectedPDF; // "无法打开此 PDF：文件受密码保护。"
    static const QString kNoReadablePDFInFolder; // "此文件夹没有可读取的 PDF。"
    static constexpr double kSearchDelaySeconds = 0.2;
    static constexpr double kOnboardingDelaySeconds = 0.5;
    static constexpr double kOutlineWidth = 200;

    // A pane with what its model takes from the application (`services`).
    explicit PaneController(ReaderPane pane, model::PaneModelServices services = {}, QObject *parent = nullptr);
    // Runs the pane's teardown: drops every open or search under way,
    // flushes the history and the notes store, and hands the last reading
    // state to the history for its next turn.
    ~PaneController() override;

    // ---- Given by the workspace ---------------------------------------------

    ReaderPane pane() const { return m_pane; }
    bool isSplit() const { return m_isSplit; }
    void setIsSplit(bool value) { assign(m_isSplit, value, &PaneController::isSplitChanged); }
    bool isActive() const { return m_isActive; }
    void setIsActive(bool value) { assign(m_isActive, value, &PaneController::isActiveChanged); }
    // The document URL of the other pane; empty when there is none.
    const QUrl &peerURL() const { return m_peerURL; }
    void setPeerURL(const QUrl &value) { assign(m_peerURL, value, &PaneController::peerURLChanged); }
    const std::optional<ReaderOpenRequest> &openRequest() const { return m_openRequest; }
    void setOpenRequest(const std::optional<ReaderOpenRequest> &value)
    {
        assign(m_openRequest, value, &PaneController::openRequestChanged);
    }
    qint64 focusToken() const { return m_focusToken; }
    void setFocusToken(qint64 value) { assign(m_focusToken, value, &PaneController::focusTokenChanged); }
    const Action &activate() const { return m_activate; }
    void setActivate(Action action) { m_activate = std::move(action); }
    const Action &toggleComparison() const { return m_toggleComparison; }
    void setToggleComparison(Action action) { m_toggleComparison = std::move(action); }

    // ---- Owned and shared objects -------------------------------------------

    model::SharedPDFViewModel *viewModel() const { return m_viewModel; }
    // The annotations of the pane, handed to its model.
    annotations::PaneAnnotations *annotations() const { return m_annotations; }
    history::ReadingHistory &history() const;
    notes::PaperNotesStore &paperNotes() const;

    // ---- Stored preferences (read when used) ---------------------------------

    bool resumeLast() const;          // "folvan.resumeLastDocument", true
    bool defaultBook() const;         // "folvan.defaultBookMode", true
    platform::ScholarWidth ggViewWidth() const;             // "ggViewWidth", Compact
    platform::ReadingWidth pdfViewWidth() const;            // "pdfViewWidth", Auto
    QString backgroundImagePath() const; // "backgroundImagePath", ""
    bool hasSeenOnboarding() const;   // "hasSeenOnboarding", false

    // ---- Pane state ---------------------------------------------------------

    platform::BookLayout pageLayout() const { return m_pageLayout; }
    bool didStart() const { return m_didStart; }
    bool searchRunning() const { return m_searchRunning; }
    bool searchFocused() const { return m_searchFocused; }
    bool filenameFocused() const { return m_filenameFocused; }
    // The width of the pane on screen, reported by paneResized.
    double windowWidth() const { return m_windowWidth; }
    bool flipBookMode() const { return m_flipBookMode; }
    const std::optional<QUuid> &currentPaperID() const { return m_currentPaperID; }
    const std::optional<QUuid> &selectedNoteID() const { return m_selectedNoteID; }
    bool reflowMode() const { return m_reflowMode; }
    const QImage &backgroundImage() const { return m_backgroundImage; }
    bool isEditing() const { return m_isEditing; }
    const QString &fileName() const { return m_fileName; }
    const QString &editableFileName() const { return m_editableFileName; }
    bool showDeleteConfirmation() const { return m_showDeleteConfirmation; }
    bool showNotes() const { return m_showNotes; }
    bool showGG() const { return m_showGG; }
    double rotationAngle() const { return m_rotationAngle; }
    double scaleFactor() const { return m_scaleFactor; }
    // Whether files are being dragged over the pane, reported by
    // dragEntered and dragLeft.
    bool isDragTargeted() const { return m_isDragTargeted; }
    bool showOutline() const { return m_showOutline; }
    bool showShortcuts() const { return m_showShortcuts; }
    bool showCommandPalette() const { return m_showCommandPalette; }
    bool showOnboarding() const { return m_showOnboarding; }
    bool showingAlert() const { return m_showingAlert; }
    const QString &alertMessage() const { return m_alertMessage; }

    // Shows the pane's alert with `message`.
    void showAlertMessage(const QString &message);

    // ---- Opening and the reading state (PaneControllerOpening.cpp) ------------

    // Opens a paper: saves the one shown, opens the file away from the main
    // thread and installs it when no later open has started meanwhile.
    // `preferredPage` asks for a page instead of the stored one; `source` is
    // a passage to go to once the paper is open.
    void loadPDF(const QUrl &url, std::optional<int> preferredPage = std::nullopt,
                 std::optional<model::ReadingTextSource> source = std::nullopt);
    // The pane's reading state as it stands.
    history::DocumentReadingState documentState() const;
    // Writes the reading state of the open paper into the history; with
    // `captureNative` the page and zoom are first taken from the page view.
    // When both panes show the same paper only the active pane writes.
    void saveReading(bool captureNative);
    // The reading state that a save would write; none without a paper or
    // when the other, active pane shows the same paper.
    std::optional<history::DocumentReadingState> readingToSave(bool captureNative) const;
    // The application goes inactive or quits: save, flush history and notes.
    void saveAndFlush();
    // Whether a history record leads to a readable file at `url`.
    bool isKnownInHistory(const QUrl &url) const;

    // ---- Text search (PaneControllerSearch.cpp) ---------------------------------

    void findInPDF();
    void stepSearch(bool forward);
    void closeSearch();
    // The queue shared by the searches of every pane ("Folvan.text-search").
    static platform::SerialQueue &readingSearchQueue();

    // ---- Choosing, reopening and closing (PaneControllerPapers.cpp) ----------

    void selectAndOpenPDF();
    void openNoteSource(const notes::PaperNote &note);
    void closePDF();

    // ---- Daily paper (PaneControllerDailyPaper.cpp) ------------------------------

    void openShortPDF();
    // The direct entries of a folder whose extension is "pdf" in any case,
    // hidden ones included; empty when the folder cannot be listed.
    static QList<QUrl> getPDFsFromFolder(const QUrl &folder);
    // Saves the reading state and opens the file of `urls` with the fewest
    // pages, found away from the main thread.
    void loadShortPDF(const QList<QUrl> &urls);
    // The readable PDF with the fewest pages; between equal counts the one
    // whose path sorts first. None when no file has pages.
    static std::optional<QUrl> pickShortestPaper(const QList<QUrl> &urls);

    // ---- Start-up, open requests and drops (PaneControllerStartup.cpp) -------

    // The start-up step; runs once per pane, the first time it is shown.
    void startUp();
    // The reflow typography in force for this pane.
    QVariantMap reflowAppearance() const;
    // Reads the wallpaper named by "backgroundImagePath".
    void loadBackgroundImage();
    // Opens a dropped file when its extension is "pdf" in any case; true
    // when it was taken.
    bool openDroppedFile(const QUrl &url);

    // ---- What the pane on screen reports --------------------------------------

    // The pane was laid out `width` wide.
    void paneResized(double width) { assign(m_windowWidth, width, &PaneController::windowWidthChanged); }
    // Files were dragged over the pane, or away from it (also by the drop).
    void dragEntered() { assign(m_isDragTargeted, true, &PaneController::isDragTargetedChanged); }
    void dragLeft() { assign(m_isDragTargeted, false, &PaneController::isDragTargetedChanged); }
    // The reader asked for the help, or closed it.
    void helpRequested() { setShowShortcuts(true); }
    void shortcutsHelpDismissed() { setShowShortcuts(false); }
    // The reader asked the help for the guide again: the help closes, the
    // guide counts as unseen and shows once the help has faded out.
    void onboardingReplayRequested();
    static constexpr double kOnboardingReplayDelaySeconds = 0.35;
    // The reader finished or closed the guide.
    void onboardingDismissed() { setShowOnboarding(false); }
    // The command palette closed, or the pane has none to show.
    void commandPaletteDismissed() { setShowCommandPalette(false); }
    // The search field got or lost the keyboard; the reader typed in it.
    void searchFieldFocusChanged(bool focused) { setSearchFocused(focused); }
    void searchTextEdited(const QString &text);
    // The file-name editor: the reader typed in it, left it with Escape, or
    // it got or lost the keyboard.
    void renameTextEdited(const QString &text) { setEditableFileName(text); }
    void renameCancelled();
    void renameFieldFocusChanged(bool focused) { setFilenameFocused(focused); }
    // The reader opened or closed one of the pane's panels, by its button
    // (toggled) or from the panel itself (closed).
    void panelToggled(PanePanel panel);
    void panelClosed(PanePanel panel);
    bool showsPanel(PanePanel panel) const;
    // The reader chose a note in the notes panel (none: no note).
    void noteSelected(const std::optional<QUuid> &id) { setSelectedNoteID(id); }
    // The reader zoomed the page or book view to `factor`.
    void viewZoomed(double factor) { setScaleFactor(factor); }
    // The reader tilted the page to `angle` degrees.
    void rotationChosen(double angle) { setRotationAngle(angle); }

    // ---- File operations (PaneControllerFileOperations.cpp, PaneControllerRename.cpp)

    void moveCurrentPDF();
    // The second half of a move, after the file moved from `oldURL` to
    // `newURL`.
    void completeMove(const QUrl &oldURL, const QUrl &newURL);
    void showPDFInFinder();
    void openPDFInDefaultViewer();
    void beginRename();
    // Renames the open paper's file to the cleaned `typedName`.
    void renamePDF(const QString &typedName);
    // Commits the file-name editor: renames, then leaves editing.
    void commitRename();
    // Asks for the trash confirmation.
    void confirmTrash();
    void deleteCurrentPDF();

    // ---- Presentation --------------------------------------------------------

    void setPresenter(std::unique_ptr<PanePresenter> presenter);
    void setFileChooser(std::unique_ptr<PaneFileChooser> chooser);

    // ---- Command surface (PaneCommands.cpp) ----------------------------------

    // The pane's command record, built from its state now; its closures act
    // on the live pane, also from a record kept from earlier.
    ReaderActions readerActions();
    // What the pane reports upward: the pane, its model, the document URL
    // and the record.
    ReaderPaneSnapshot snapshot();
    // True while the book view is shown.
    bool readingMode() const;
    // The reader chose the book view (`book`) or the page view: reflow
    // always ends, then the pane switches between the two.
    void readingModeChosen(bool book);
    // Leaves reflow, else switches between the book and the page view.
    void switchMode();
    void toggleReflow();
    // Leaves reflow and shows `location` in the page view, remembering the
    // place left.
    void showOriginal(const model::ReadingLocation &location);
    // Zoom by `step` (+0.1 or -0.1): the page zoom, or in reflow the font
    // size by ten times the step.
    void zoom(double step);
    // The pane's zoom handler: sets the page zoom to `factor` unchanged and
    // stores it.
    void zoomTo(double factor);
    void resetView();
    // A new, empty note for the open paper quoting the selected passages,
    // shown in the notes panel.
    void createPaperNote();
    // The same for passages given by the reflow page (none: no note).
    void createPaperNote(const std::vector<model::ReadingTextSource> &sources);
    // Whether the notes panel is to give the keyboard to the title of the
    // note it shows, asked once after a new note was made; clears it.
    bool takeNoteTitleFocus() { return std::exchange(m_noteTitleFocus, false); }
    // Puts the annotation summary on the clipboard.
    void copyAnnotations();
    // The record's layout choice.
    void choosePageLayout(platform::BookLayout value);


signals:
    void isSplitChanged();
    void isActiveChanged();
    void peerURLChanged();
    void openRequestChanged();
    void focusTokenChanged();
    void pageLayoutChanged();
    void searchRunningChanged();
    void searchFocusedChanged();
    void filenameFocusedChanged();
    void windowWidthChanged();
    void flipBookModeChanged();
    void currentPaperIDChanged();
    void selectedNoteIDChanged();
    void reflowModeChanged();
    void backgroundImageChanged();
    void isEditingChanged();
    void fileNameChanged();
    void editableFileNameChanged();
    void showDeleteConfirmationChanged();
    void showNotesChanged();
    void showGGChanged();
    void rotationAngleChanged();
    void scaleFactorChanged();
    void isDragTargetedChanged();
    void showOutlineChanged();
    void showShortcutsChanged();
    void showCommandPaletteChanged();
    void showOnboardingChanged();
    void showingAlertChanged();
    void alertMessageChanged();
    // The snapshot's pane, model, URL or record flags changed.
    void snapshotChanged();

private:
    // Written only by the pane's own operations.
    void setHasSeenOnboarding(bool value);
    void setSearchFocused(bool value) { assign(m_searchFocused, value, &PaneController::searchFocusedChanged); }
    void setFilenameFocused(bool value) { assign(m_filenameFocused, value, &PaneController::filenameFocusedChanged); }
    void setIsEditing(bool value) { assign(m_isEditing, value, &PaneController::isEditingChanged); }
    void setShowDeleteConfirmation(bool value) { assign(m_showDeleteConfirmation, value, &PaneController::showDeleteConfirmationChanged); }
    void setShowNotes(bool value) { assign(m_showNotes, value, &PaneController::showNotesChanged); }
    void setShowGG(bool value) { assign(m_showGG, value, &PaneController::showGGChanged); }
    void setShowOutline(bool value) { assign(m_showOutline, value, &PaneController::showOutlineChanged); }
    void setShowShortcuts(bool value) { assign(m_showShortcuts, value, &PaneController::showShortcutsChanged); }
    void setShowCommandPalette(bool value) { assign(m_showCommandPalette, value, &PaneController::showCommandPaletteChanged); }
    void setShowOnboarding(bool value) { assign(m_showOnboarding, value, &PaneController::showOnboardingChanged); }
    void setEditableFileName(const QString &value) { assign(m_editableFileName, value, &PaneController::editableFileNameChanged); }
    void setSelectedNoteID(const std::optional<QUuid> &value) { assign(m_selectedNoteID, value, &PaneController::selectedNoteIDChanged); }
    void setScaleFactor(double value) { assign(m_scaleFactor, value, &PaneController::scaleFactorChanged); }
    void setRotationAngle(double value) { assign(m_rotationAngle, value, &PaneController::rotationAngleChanged); }
    void setPageLayout(platform::BookLayout value) { assign(m_pageLayout, value, &PaneController::pageLayoutChanged); }
    void setSearchRunning(bool value) { assign(m_searchRunning, value, &PaneController::searchRunningChanged); }
    void setFileName(const QString &value) { assign(m_fileName, value, &PaneController::fileNameChanged); }
    void setCurrentPaperID(const std::optional<QUuid> &value) { assign(m_currentPaperID, value, &PaneController::currentPaperIDChanged); }
    void setReflowMode(bool value) { assign(m_reflowMode, value, &PaneController::reflowModeChanged); }
    void setFlipBookMode(bool value) { assign(m_flipBookMode, value, &PaneController::flipBookModeChanged); }
    void setBackgroundImage(const QImage &value);
    void setShowingAlert(bool value) { assign(m_showingAlert, value, &PaneController::showingAlertChanged); }
    void setAlertMessage(const QString &value) { assign(m_alertMessage, value, &PaneController::alertMessageChanged); }

    template <typename T>
    void assign(T &field, const T &value, void (PaneController::*changed)())
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)();
    }

    // What the background open hands to the main thread.
    struct PendingDocumentLoad {
        QUuid generation;
        QUrl url;
        history::DocumentReadingState state;
        std::optional<int> preferredPage;
        bool knownInHistory = false;
        std::optional<model::ReadingTextSource> source;
        std::shared_ptr<engine::PdfDocument> document;
        QByteArray firstIdentifier; // of the document's /ID
        QString error; // why the document could not be opened
    };

    // PaneController.cpp
    void connectHandlers();
    void scheduleDocumentStateCheck();
    void checkDocumentState();
    void scheduleAlertPresentation();
    void scheduleTrashConfirmation();
    void handleRotationAngleChange();
    void handleBackgroundImagePathChange();
    void teardown();

    // PaneControllerOpening.cpp
    void applyLoadedDocument(PendingDocumentLoad load);
    // Whose side files lie under each paper's name (PaperAccount.h).
    PaperAccount paperAccount() const;
    // A paper shown while the account could not settle its name (a
    // read-only reader, a library that cannot be written): its marks were
    // read where they lie, what changes is held in memory, and its place
    // goes only to a history record of its own, until a settling succeeds.
    struct HeldPaper {
        QByteArray firstIdentifier;
        QUuid id;
        QString annotationsFrom;
        QString bookmarksFrom;
        QString readingFrom; // the name whose history record is its own
    };
    void holdPaper(HeldPaper held);
    // Settles the held paper's name now, if the account can be written;
    // then its marks are written under its name. False while still held.
    bool settleHeldPaper();

    // PaneControllerSearch.cpp
    void searchTextDidChange();
    // Runs on the search queue: searches the document page after page and
    // hands the matches to the pane in batches, until the end or a stop.
    static void runSearch(QPointer<PaneController> pane, std::weak_ptr<engine::PdfDocument> searched, QString query,
                          std::shared_ptr<std::atomic_bool> stop);
    // A batch of the search stopped by `stop` arrived; `last` after the
    // last page.
    void deliverSearch(const std::shared_ptr<std::atomic_bool> &stop,
                       const std::weak_ptr<engine::PdfDocument> &searched, const QString &query, model::SearchBatch batch,
                       bool last);
    void cancelSearchWork();
    void resumeInterruptedSearch();

    // PaneControllerDailyPaper.cpp
    void finishDailyPaper(const QUuid &token, const std::optional<QUrl> &choice);

    // PaneControllerStartup.cpp
    void openRequestDidChange();
    void scheduleOnboarding();

    // PaneControllerFileOperations.cpp
    // The steps shared by a move and a rename once the file has its new
    // place: history, URL, notes store, side files.
    void relocateOpenPaper(const QUrl &oldURL, const QUrl &newURL);
    void postRelocation(const QUrl &oldURL, const QUrl &newURL);
    void handleRelocation(const DocumentRelocated &moved);
    // Before changes that could not be saved are written: the paper may
    // have been renamed or moved by another reader meanwhile, which took
    // its side files along. The pane then follows, so that the changes
    // join those files rather than the old name's.
    void followPaperMovedByAnotherReader();
    // The paper's record says its file now lies elsewhere (another pane
    // found it renamed or moved outside the reader, or another reader moved
    // it): the pane follows it there. A paper found nowhere is closed: its
    // name may hold another paper, whose marks this pane must not write.
    void followPaperRecord();
    void handleTrash(const DocumentTrashed &trashed);

    // Given.
    const ReaderPane m_pane;
    const model::PaneModelServices m_services;
    bool m_isSplit = false;
    bool m_isActive = true;
    QUrl m_peerURL;
    std::optional<ReaderOpenRequest> m_openRequest;
    qint64 m_focusToken = 0;
    Action m_activate;
    Action m_toggleComparison;

    model::SharedPDFViewModel *m_viewModel;
    annotations::PaneAnnotations *m_annotations;

    // State.
    platform::BookLayout m_pageLayout = platform::BookLayout::Spread;
    QUuid m_openGeneration = QUuid::createUuid();
    bool m_didStart = false;
    platform::MainWorkItem *m_searchWork;
    // The stop flag of the search last started: set when a newer query,
    // closing the bar or the paper, or the pane's end makes it needless.
    std::shared_ptr<std::atomic_bool> m_searchStop;
    // Set when an open cancelled a search still waiting for its start.
    bool m_searchInterruptedByOpen = false;
    bool m_searchRunning = false;
    bool m_searchFocused = false;
    bool m_filenameFocused = false;
    double m_windowWidth = 1200;
    bool m_flipBookMode = true;
    std::optional<QUuid> m_currentPaperID;
    std::optional<HeldPaper> m_heldPaper;
    // The first string of the open paper's /ID.
    QByteArray m_firstIdentifier;
    std::optional<QUuid> m_selectedNoteID;
    bool m_noteTitleFocus = false;
    bool m_reflowMode = false;
    QImage m_backgroundImage;
    bool m_isEditing = false;
    QString m_fileName = kEmptyTitle;
    QString m_editableFileName;
    bool m_showDeleteConfirmation = false;
    bool m_showNotes = false;
    bool m_showGG = false;
    double m_rotationAngle = 0;
    double m_scaleFactor = 1.0;
    bool m_isDragTargeted = false;
    bool m_showOutline = false;
    bool m_showShortcuts = false;
    bool m_showCommandPalette = false;
    bool m_showOnboarding = false;
    bool m_showingAlert = false;
    QString m_alertMessage;

    // The reading state last seen by the change handler of documentState.
    history::DocumentReadingState m_lastDocumentState;
    bool m_documentStateCheckScheduled = false;
    bool m_tornDown = false;

    std::unique_ptr<PanePresenter> m_presenter;
    std::unique_ptr<PaneFileChooser> m_fileChooser;
    // PaneCommands.cpp
    void connectCommandSurface();
    void scheduleSnapshotCheck();
    std::optional<ReaderPaneSnapshot> m_lastSnapshot;
    bool m_snapshotCheckScheduled = false;
};

} // namespace folvan::pane
