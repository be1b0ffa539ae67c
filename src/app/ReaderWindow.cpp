#include "app/ReaderWindow.h"

#include "app/BackgroundImageCommands.h"
#include "app/QuitGuard.h"
#include "app/ReaderMenus.h"
#include "history/ReadingHistory.h"
#include "interface/HelpOverlays.h"
#include "interface/ReaderSettingsView.h"
#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "window/PaneReadingViews.h"
#include "window/PaneDialogs.h"
#include "window/PaneServices.h"
#include "workspace/ReaderCommandRegistry.h"
#include "workspace/ReaderMenuTypography.h"
#include "workspace/ReaderWorkspace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLabel>
#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace folvan::app {

namespace {

// The program's own event loop has ended.
bool programEnding = false;

// The command table as the help lists it.
QList<interface::HelpCommand> helpCommands()
{
    QList<interface::HelpCommand> commands;
    for (const workspace::ReaderCommand &command : workspace::ReaderCommandRegistry::all())
        commands.append({command.shortcutLabel(), command.title});
    return commands;
}

// What the program's panes take from it: the reading history's older names
// of a paper, the exports' save panel, the book and reflow views, and the
// help and the first-run guide they lay over themselves. Links open in the
// system's default application; the workspace adds its command palette.
window::PaneServices paneServices()
{
    window::PaneServices services;
    services.formerPaths = [](const QString &standardizedPath) {
        return history::ReadingHistory::shared().formerPaths(standardizedPath);
    };
    services.chooseExportPath = window::chooseExportPathInSavePanel;
    services.bookView = window::makePaneBookView;
    services.reflowView = window::makePaneReflowView;
    services.shortcutsHelp = [](std::function<void()> close, std::function<void()> replay) -> QWidget * {
        return new interface::ShortcutsView(helpCommands(), std::move(close), std::move(replay));
    };
    services.onboarding = [](std::function<void()> finish) -> QWidget * {
        return new interface::OnboardingView(std::move(finish));
    };
    return services;
}

} // namespace

ReaderWindow::ReaderWindow(QWidget *parent)
    : QMainWindow(parent), m_workspace(new workspace::ReaderWorkspace(paneServices(), this))
{
    // The workspace under the bar that says when this reader is read-only.
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_readOnlyBar = new QLabel(content);
    m_readOnlyBar->setObjectName(QStringLiteral("readOnlyBar"));
    m_readOnlyBar->setWordWrap(true);
    m_readOnlyBar->setText(readOnlyText());
    m_readOnlyBar->setStyleSheet(QStringLiteral("QLabel#readOnlyBar { background: #fbeec5; color: #4a3b12;"
                                                " border-bottom: 1px solid #e2cf92; padding: 7px 14px; }"));
    layout->addWidget(m_readOnlyBar);
    layout->addWidget(m_workspace, 1);
    setCentralWidget(content);
    connect(&platform::DataFolderAccess::shared(), &platform::DataFolderAccess::readOnlyChanged, this,
            &ReaderWindow::showAccess);
    showAccess();
    QPointer<workspace::ReaderWorkspace> workspace(m_workspace);
    m_menus = new ReaderMenus(
        menuBar(),
        [workspace]() -> std::optional<pane::ReaderActions> {
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

QString ReaderWindow::readOnlyText()
{
    return QStringLiteral("只读：另一个 Folvan 正在使用同一个数据文件夹（%1），这里的笔记、批注、书签和阅读记录暂不写入。"
                          "它们会在另一个 Folvan 退出后、或本窗口退出时，与它写下的内容合并保存。")
        .arg(QDir::toNativeSeparators(platform::folvanDataFolder()));
}

void ReaderWindow::showAccess()
{
    const bool readOnly = platform::DataFolderAccess::shared().readOnly();
    m_readOnlyBar->setVisible(readOnly);
    setWindowTitle(readOnly ? QStringLiteral("Folvan（只读）") : QStringLiteral("Folvan"));
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

// A closed window is deleted in the program's own event loop only. Inside
// another one (a dialog's), the code that runs it holds the dialog on its
// stack, and the window would delete the dialog as its child.
bool ReaderWindow::event(QEvent *event)
{
    if (event->type() == QEvent::DeferredDelete) {
        // Once the program's loop has ended, the windows closed as it ended
        // stay until ReaderWindows deletes them as main returns: after the
        // panes' last saves at aboutToQuit, and after main has named the
        // changes that could not be written, in a dialog whose loop would
        // otherwise run the parting writes of the deleted panes.
        if (programEnding)
            return true;
        if (QThread::currentThread()->loopLevel() > 1) {
            deleteOutsideDialogs();
            return true;
        }
    }
    return QMainWindow::event(event);
}

void ReaderWindow::deleteOutsideDialogs()
{
    QTimer::singleShot(50, this, [this] {
        if (programEnding)
            return;
        if (QThread::currentThread()->loopLevel() > 1)
            deleteOutsideDialogs();
        else
            deleteLater();
    });
}

ReaderWindows::ReaderWindows()
{
    // Made before any window, so that this runs before the panes' own
    // saves at the end of the program.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [] { programEnding = true; });
    // Once the application has taken in which window is active.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &ReaderWindows::followQuitKey, Qt::QueuedConnection);
}

ReaderWindows::~ReaderWindows()
{
    for (const QPointer<ReaderWindow> &window : std::as_const(m_windows))
        delete window.data();
}

ReaderWindow *ReaderWindows::open(const QStringList &paths, const std::optional<QString> &commandLinePaper)
{
    auto *window = new ReaderWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (commandLinePaper)
        window->workspace()->openCommandLinePaper(*commandLinePaper);
    connect(window, &ReaderWindow::settingsRequested, this, [this] {
        QWidget *settings = settingsWindow();
        settings->show();
        settings->raise();
        settings->activateWindow();
    });
    // A new window starts as the program does without a file named.
    connect(window, &ReaderWindow::newWindowRequested, this, [this] { open(); });
    m_windows.removeAll(nullptr);
    m_windows.append(window);
    connect(window, &QObject::destroyed, this, &ReaderWindows::followQuitKey, Qt::QueuedConnection);
    window->openExternalPaths(paths);
    window->resize(1280, 860);
    window->show();
    followQuitKey();
    return window;
}

void ReaderWindows::followQuitKey()
{
    ReaderWindow *holder = current();
    for (ReaderWindow *window : windows())
        window->menus()->quitAction()->setShortcutContext(window == holder ? Qt::ApplicationShortcut
                                                                           : Qt::WindowShortcut);
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
    services.clearHistory = [](QWidget *dialogParent) { confirmClearHistory(history::ReadingHistory::shared(), dialogParent); };
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
