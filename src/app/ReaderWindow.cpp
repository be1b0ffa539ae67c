#include "app/ReaderWindow.h"

#include "app/ReaderMenus.h"
#include "workspace/ReaderFont.h"
#include "workspace/ReaderWorkspace.h"

#include <QApplication>
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
