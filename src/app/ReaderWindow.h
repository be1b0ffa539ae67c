#pragma once

#include <QMainWindow>
#include <QPointer>

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

    // Files handed over from outside (command line, a second launch): each
    // PDF becomes an open request of the active pane.
    void openExternalPaths(const QStringList &paths);

signals:
    void settingsRequested();

protected:
    // Files opened with the program from the file manager or the dock
    // arrive as file-open events of the application.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    workspace::ReaderWorkspace *m_workspace;
    ReaderMenus *m_menus;
};

// The settings window. Its content is not built yet: it says so.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(QWidget *parent = nullptr);
};

} // namespace folvan::app
