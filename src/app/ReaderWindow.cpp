#include "app/ReaderWindow.h"

#include "app/BackgroundImageCommands.h"
#include "app/QuitGuard.h"
#include "app/ReaderMenus.h"
#include "history/ReadingHistory.h"
#include "interface/HelpOverlays.h"
#include "interface/ReaderSettingsView.h"
#include "window/PaneLayout.h"
#include "workspace/ReaderCommandRegistry.h"
#include "workspace/ReaderFont.h"
#include "workspace/ReaderWorkspace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLabel>
#include <QMenuBar>
#include <QUrl>
#include <QVBoxLayout>

namespace folvan::app {

namespace {

// The command table as the help lists it.
QList<interface::HelpCommand> helpCommands()
{
    QList<interface::HelpCommand> commands;
    for (const workspace::ReaderCommand &command : workspace::ReaderCommandRegistry::all())
        commands.append({command.shortcutLabel(), command.title});
    return commands;
}

// The panes lay the help and the first-run guide over themselves.
void installPaneOverlays()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    window::PaneLayout::setOverlayFactories(
        [](std::function<void()> close, std::function<void()> replay) -> QWidget * {
            return new interface::ShortcutsView(helpCommands(), std::move(close), std::move(replay));
        },
        [](std::function<void()> finish) -> QWidget * { return new interface::OnboardingView(std::move(finish)); });
}

} // namespace

ReaderWindow::ReaderWindow(QWidget *parent)
    : QMainWindow(parent), m_workspace(new workspace::ReaderWorkspace(this))
{
    installPaneOverlays();
    setWindowTitle(QStringLiteral("Folvan"));
    setCentralWidget(m_workspace);
    QPointer<workspace::ReaderWorkspace> workspace(m_workspace);
    m_menus = new ReaderMenus(
        menuBar(),
        [workspace]() -> std::optional<window::ReaderActions> {
            return workspace ? workspace->actions() : std::nullopt;
        },
        this);
    connect(m_workspace, &workspace::ReaderWorkspace::actionsChanged, m_menus, &ReaderMenus::refresh);
    connect(m_menus, &ReaderMenus::settingsRequested, this, &ReaderWindow::settingsRequested);
    connect(m_menus, &ReaderMenus::newWindowRequested, this, &ReaderWindow::newWindowRequested);
    m_menus->refresh();
    workspace::applyReaderInterfaceStyle(this);
    qApp->installEventFilter(this);
}

bool ReaderWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::FileOpen) {
        const QUrl url = static_cast<QFileOpenEvent *>(event)->url();
        m_workspace->openExternalURL(url.isEmpty() ? QUrl::fromLocalFile(static_cast<QFileOpenEvent *>(event)->file()) : url);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ReaderWindow::openExternalPaths(const QStringList &paths)
{
    for (const QString &path : paths)
        m_workspace->openExternalURL(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void ReaderWindow::closeEvent(QCloseEvent *event)
{
    bool last = true;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != this && widget->isVisible() && qobject_cast<ReaderWindow *>(widget))
            last = false;
    if (last && !mayQuit(this)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

ReaderWindows::ReaderWindows() = default;

ReaderWindows::~ReaderWindows()
{
    for (const QPointer<ReaderWindow> &window : std::as_const(m_windows))
        delete window.data();
}

ReaderWindow *ReaderWindows::open(std::optional<QStringList> paneArguments, const QStringList &paths)
{
    auto *window = new ReaderWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (paneArguments)
        window->workspace()->setPaneArguments(*paneArguments);
    connect(window, &ReaderWindow::settingsRequested, this, [this] {
        QWidget *settings = settingsWindow();
        settings->show();
        settings->raise();
        settings->activateWindow();
    });
    // A new window starts as the program does without a file named.
    connect(window, &ReaderWindow::newWindowRequested, this,
            [this] { open(QStringList{QCoreApplication::applicationFilePath()}); });
    m_windows.removeAll(nullptr);
    m_windows.append(window);
    window->openExternalPaths(paths);
    window->resize(1280, 860);
    window->show();
    return window;
}

QList<ReaderWindow *> ReaderWindows::windows() const
{
    QList<ReaderWindow *> list;
    for (const QPointer<ReaderWindow> &window : m_windows)
        if (window)
            list.append(window.data());
    return list;
}

ReaderWindow *ReaderWindows::current() const
{
    const QList<ReaderWindow *> list = windows();
    for (ReaderWindow *window : list)
        if (window->isActiveWindow())
            return window;
    return list.isEmpty() ? nullptr : list.last();
}

QWidget *ReaderWindows::settingsWindow()
{
    if (!m_settings) {
        m_settings = std::make_unique<SettingsWindow>();
        // Closing the reading windows ends the program, settings window or not.
        m_settings->setAttribute(Qt::WA_QuitOnClose, false);
    }
    return m_settings.get();
}

void ReaderWindows::openExternalPaths(const QStringList &paths)
{
    ReaderWindow *window = current();
    if (!window)
        window = open();
    window->openExternalPaths(paths);
    window->showNormal();
    window->raise();
    window->activateWindow();
}

SettingsWindow::SettingsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("设置"));
    interface::SettingsServices services;
    services.clearHistory = [](QWidget *dialogParent) { confirmClearHistory(ReadingHistory::shared(), dialogParent); };
    services.selectWallpaper = [](QWidget *dialogParent) { BackgroundImageCommands(dialogParent).selectBackgroundImage(); };
    services.clearWallpaper = [](QWidget *dialogParent) { BackgroundImageCommands(dialogParent).clearBackgroundImage(); };
    services.commands = helpCommands();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes the content's size, which follows the text size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new interface::ReaderSettingsView(std::move(services), this));
    workspace::applyReaderInterfaceStyle(this);
}

} // namespace folvan::app
