#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class QLabel;

namespace folvan::workspace {
class ReaderWorkspace;
}

namespace folvan::app {

class ReaderMenus;

// A reading window: its own workspace as the central widget and a menu bar
// whose commands act on that workspace's active pane.
class ReaderWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ReaderWindow(QWidget *parent = nullptr);

    workspace::ReaderWorkspace *workspace() const { return m_workspace; }
    ReaderMenus *menus() const { return m_menus; }
    // The bar over the workspace that says this reader is read-only
    // (another one holds the data folder); hidden otherwise.
    QLabel *readOnlyBar() const { return m_readOnlyBar; }
    static QString readOnlyText();

    // Files handed over from outside (command line, a second launch): each
    // PDF becomes an open request of the active pane.
    void openExternalPaths(const QStringList &paths);

signals:
    void settingsRequested();
    // "新建窗口" was chosen in this window's menus.
    void newWindowRequested();

protected:
    // Files opened with the program from the file manager or the dock
    // arrive as file-open events of the application.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing the last reading window quits: it asks first while some
    // change cannot be written, and stays open when the reader chooses to.
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Deletes the window once control is back in the program's own event
    // loop, out of every dialog's.
    void deleteOutsideDialogs();
    // Shows whether this reader is read-only, in its bar and its title.
    void showAccess();

    workspace::ReaderWorkspace *m_workspace;
    ReaderMenus *m_menus;
    QLabel *m_readOnlyBar;
};

// The reading windows of the application, each with its own workspace:
// the first one and every one that "新建窗口" opens. A window is deleted
// when it is closed. They share one settings window, and files handed over
// from outside go to the window used last.
class ReaderWindows : public QObject {
    Q_OBJECT
public:
    ReaderWindows();
    ~ReaderWindows() override;

    // Opens a reading window and shows it: the paper named by the command
    // line's "--pdf" (`commandLinePaper`) and then `paths` are its first
    // open requests.
    ReaderWindow *open(const QStringList &paths = {}, const std::optional<QString> &commandLinePaper = std::nullopt);
    QList<ReaderWindow *> windows() const;
    // The active reading window, else the one opened last that is still
    // there; none when every window is closed.
    ReaderWindow *current() const;
    // The settings window, made when first asked for: a start with a paper
    // does not wait for it.
    QWidget *settingsWindow();
    // Hands the files to the current window and brings it forward.
    void openExternalPaths(const QStringList &paths);

private:
    // Ctrl+Q quits from every state, also while a popup of a window (a
    // dock panel, the annotation editor) or the settings window holds the
    // keys: the current window's quit takes the key application-wide. The
    // others keep it to their own window, as two application-wide holders
    // of one key would cancel each other out.
    void followQuitKey();

    QList<QPointer<ReaderWindow>> m_windows;
    std::unique_ptr<QWidget> m_settings;
};

// The settings window: the reader's preferences in five tabs.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(QWidget *parent = nullptr);
};

} // namespace folvan::app
