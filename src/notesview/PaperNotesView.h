#pragma once

// The notes panel of a reading pane: searches the paper notes library,
// shows one note for editing, follows it back to its paper, links an old
// note to the open paper, exports it as Markdown, deletes it (with undo) and
// makes new notes for the open paper. It keeps no copy of a note: it reads
// the store on every refresh and hands every edit to it at once.

#include "notes/PaperNote.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace folvan::notes {
class PaperNotesStore;
}

namespace folvan::notesview {

class BodyPieces;

// What the pane hands the panel: its note selection (the pane keeps it, so
// that it outlives the panel) and the way to open a note's source.
struct PaneNoteHooks {
    std::function<std::optional<QUuid>()> selection;
    std::function<void(const std::optional<QUuid> &)> setSelection;
    std::function<void(const notes::PaperNote &)> openSource;
    // Whether the title of the note shown is to take the keyboard (asked
    // once, after the pane made a new note).
    std::function<bool()> takeTitleFocus;
};

// One entry of the note list: title, paper and the start of the body on a
// rounded tint while selected. Pressing it selects the note.
class NoteRow : public QAbstractButton {
    Q_OBJECT
public:
    NoteRow(const notes::PaperNote &note, const QString &paperTitle, QWidget *parent = nullptr);

    QUuid noteID() const { return m_id; }
    // Shows the note's texts now; redraws only when they differ.
    void setNote(const notes::PaperNote &note, const QString &paperTitle);
    QString titleText() const { return m_title; }
    QString paperText() const { return m_paper; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QUuid m_id;
    QString m_title, m_paper, m_body;
    bool m_selected = false;
};

class PaperNotesView : public QWidget {
    Q_OBJECT
public:
    // A panel on `store` for the paper `paperID` (absent without one) at the
    // zero-based `page`. It chooses the note to show at once.
    PaperNotesView(notes::PaperNotesStore &store, std::optional<QUuid> paperID, int page, PaneNoteHooks hooks,
                   QWidget *parent = nullptr);
    // Writes pending edits at once.
    ~PaperNotesView() override;

    // The pane opened or closed a paper: the list and the selection follow.
    void setPaperID(const std::optional<QUuid> &paperID);
    void setPage(int page);
    // Redraws from the store and the pane's selection.
    void refresh();

    // The save dialog of the export: the chosen path for the suggested file
    // name, empty when cancelled. And how an export failure is told.
    std::function<QString(const QString &suggestedName)> chooseExportPath;
    std::function<void(const QString &error)> reportExportFailure;

    // The suggested file name of a note's export: the title (or "论文笔记")
    // with "/" made "-" and no control characters.
    static QString exportFileName(const notes::PaperNote &note);
    // A title as one line: each line break becomes a space.
    static QString oneLineTitle(const QString &title);

    // The list's rows, top to bottom.
    QList<NoteRow *> listRows() const { return m_rows; }

protected:
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The panel's parts, top to bottom, each added to `column`.
    void buildHeader(QVBoxLayout *column);
    QButtonGroup *buildScope(QVBoxLayout *column);
    void buildList(QVBoxLayout *column);
    void buildEditor(QVBoxLayout *column);
    void buildEmptyState(QVBoxLayout *column);
    void buildFooter(QVBoxLayout *column);
    // What the parts do.
    void connectListControls(QButtonGroup *scopeGroup);
    void connectEditing();
    void followStoreAndPreferences();
    void useDefaultExportDialogs();

    // The footer's word on saving and the store's error.
    void showSaveState();
    std::optional<QUuid> selection() const;
    void setSelection(const std::optional<QUuid> &id);
    void chooseNote();
    void createNote();
    void exportNote(const notes::PaperNote &note);
    QString paperTitle(const std::optional<QUuid> &paperID) const;
    void rebuildList(const QList<notes::PaperNote> &results);
    void showEditor(const notes::PaperNote &note);
    void applyFonts();
    void fitHeights();
    void fitSourceText();

    notes::PaperNotesStore &m_store;
    std::optional<QUuid> m_paperID;
    int m_page;
    PaneNoteHooks m_hooks;
    QString m_query;
    bool m_allPapers = false;
    QList<NoteRow *> m_rows;

    QToolButton *m_create;
    QLabel *m_heading, *m_paperLine;
    QLineEdit *m_search;
    QWidget *m_scope;
    QPushButton *m_scopeCurrent, *m_scopeAll;
    QWidget *m_listArea;
    QWidget *m_listBody;
    QVBoxLayout *m_listLayout;
    QLabel *m_emptyList;
    QWidget *m_editor, *m_emptyState;
    QLineEdit *m_title;
    QToolButton *m_source, *m_export, *m_delete;
    QPushButton *m_link, *m_createHere, *m_undo;
    QLabel *m_quotes, *m_emptyText, *m_status, *m_error;
    QPlainTextEdit *m_body;
    BodyPieces *m_bodyPieces;
    // The body the editor holds, as stored.
    QString m_shownBody;
};

} // namespace folvan::notesview
