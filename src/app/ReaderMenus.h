#pragma once

// The menu bar of a reading window, built from the command table. Every
// command item acts on the record of the window's active pane, as the
// workspace publishes it; with no record every command item is greyed out
// and its shortcut does nothing.
//
// Menus in order: the File menu ("新建窗口", open, "最近阅读", the other file commands,
// settings, quit), the Edit menu (copy), "重命名" (the rename rules),
// "布局" (the Scholar and page-view widths), "笔记", "壁纸", "阅读",
// "批注", and the Help menu (the palette and the help).

#include "pane/ReaderActions.h"
#include "platform/ReadingModes.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QObject>

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QWidget;

namespace folvan::history {
class ReadingHistory;
}

namespace folvan::app {

// Asks whether to empty the reading history ("清空最近阅读列表？") and, when
// confirmed, empties it and writes the history file at once. PDFs,
// annotations, bookmarks and notes stay.
void confirmClearHistory(history::ReadingHistory &history, QWidget *dialogParent = nullptr);

// The label of a width option (Compact is "紧凑", ...).
QString widthLabel(platform::ScholarWidth value);
QString widthLabel(platform::ReadingWidth value);
QString widthLabel(platform::TextEditorsLayout value);

class ReaderMenus : public QObject {
    Q_OBJECT
public:
    using ReaderSource = std::function<std::optional<pane::ReaderActions>()>;

    // Builds the menus into `bar`; `reader` gives the record in force at
    // each moment. Call refresh() when it changes.
    ReaderMenus(QMenuBar *bar, ReaderSource reader, QWidget *dialogParent);

    // Brings enabled states and check marks up to date with the record,
    // the preferences, the history and the notes store.
    void refresh();

    // The menu item of a table command.
    QAction *commandAction(workspace::ReaderCommandID id) const;
    QMenu *menu(const QString &title) const;
    QMenu *recentMenu() const { return m_recent; }
    QMenu *layoutMenu() const { return m_layout; }
    QAction *settingsAction() const { return m_settings; }
    QAction *quitAction() const { return m_quit; }
    QAction *newWindowAction() const { return m_newWindow; }
    QAction *undoDeleteNoteAction() const { return m_undoDeleteNote; }

    // Rebuilds "最近阅读" from the history: at most the 20 newest papers.
    void rebuildRecentMenu();

signals:
    void settingsRequested();
    // "新建窗口" (Ctrl+N): another reading window with its own workspace.
    void newWindowRequested();

protected:
    // Escape on a menu of the bar opened with the mouse closes it as a
    // click elsewhere does: the keys go back to where they were (the page,
    // a field being typed in). Qt would leave the bar in its keyboard
    // navigation, holding every key until the next click: Space would open
    // the menu again and the page keys would do nothing. A menu reached
    // from the keyboard (Alt) keeps Qt's navigation, where Escape steps
    // back to the bar and a second one leaves it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addCommand(QMenu *menu, workspace::ReaderCommandID id);
    void addCommands(QMenu *menu, workspace::ReaderCommandGroup group);
    QMenu *addFileMenu(QMenuBar *bar);
    void addReplacementMenu(QMenuBar *bar);
    void addWidthMenu(QMenuBar *bar);
    QAction *addPreferenceSwitch(QMenu *menu, const QString &title, const QString &key);
    template <typename Width>
    void addWidthPicker(QMenu *menu, const QString &title, const QString &key, std::initializer_list<Width> values);
    void addNotesMenu(QMenuBar *bar);
    void addReadingMenu(QMenuBar *bar);
    void refreshChecks();
    void scheduleRecentRebuild();

    ReaderSource m_reader;
    QWidget *m_dialogParent;
    QMenuBar *m_bar;
    std::map<workspace::ReaderCommandID, QAction *> m_commands;
    // Checkable items bound to a preference: each reads its key anew.
    std::vector<std::function<void()>> m_checkRefreshers;
    QMenu *m_recent = nullptr;
    QMenu *m_layout = nullptr;
    QAction *m_settings = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_newWindow = nullptr;
    QAction *m_undoDeleteNote = nullptr;
    bool m_recentRebuildScheduled = false;
};

} // namespace folvan::app
