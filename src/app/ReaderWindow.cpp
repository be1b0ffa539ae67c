#include "app/ReaderWindow.h"

#include "app/ReaderMenus.h"
#include "workspace/ReaderFont.h"
#include "workspace/ReaderWorkspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLabel>
#include <QMenuBar>
#include <QUrl>
#include <QVBoxLayout>

namespace folvan::app {

ReaderWindow::ReaderWindow(QWidget *parent)
    : QMainWindow(parent), m_workspace(new workspace::ReaderWorkspace(this))
{
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

ReaderWindows::ReaderWindows()
    : m_settings(std::make_unique<SettingsWindow>())
{
    // Closing the reading windows ends the program, settings window or not.
    m_settings->setAttribute(Qt::WA_QuitOnClose, false);
}

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
        m_settings->show();
        m_settings->raise();
        m_settings->activateWindow();
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

QWidget *ReaderWindows::settingsWindow() const
{
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
    resize(560, 420);
    auto *layout = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("设置页面尚未完成。\n偏好可暂时通过菜单栏中的“重命名”“布局”“壁纸”和“阅读”菜单调整。"), this);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    layout->addWidget(note);
    workspace::applyReaderInterfaceStyle(this);
}

} // namespace folvan::app
