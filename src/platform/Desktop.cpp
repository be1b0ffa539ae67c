#include "platform/Desktop.h"

#include "platform/SystemErrors.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <memory>

namespace folvan::platform {

void setClipboardText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

QString clipboardText()
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        return clipboard->text();
    return {};
}

void setPrimarySelectionText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

bool moveToTrash(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }
    QFile file(path);
    if (file.moveToTrash())
        return true;
    if (error)
        *error = describedSystemError(file.errorString());
    return false;
}

namespace {

// Opens the folder with the desktop's opener and tells whether it answered:
// xdg-open reports a desktop without any program for folders by its exit
// status, which opening through the desktop services would drop.
void openFolder(const QUrl &folder, std::function<void()> failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(folder) && failed)
            failed();
        return;
    }
    // Never parented nor destroyed while it runs: the opener may stay as
    // long as the file manager it started, which must outlive the reader.
    auto *process = new QProcess;
    process->setProgram(opener);
    process->setArguments({folder.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto done = std::make_shared<std::function<void()>>(std::move(failed));
    QObject::connect(process, &QProcess::finished, process, [process, done](int code, QProcess::ExitStatus status) {
        if ((status != QProcess::NormalExit || code != 0) && *done)
            (*done)();
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        if (*done)
            (*done)();
        process->deleteLater();
    });
    process->start();
}

} // namespace

void revealInFileManager(const QString &path, std::function<void()> failed)
{
    const QFileInfo info(path);
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    QCoreApplication *app = QCoreApplication::instance();
    if (!bus.isConnected() || !app) {
        openFolder(folder, std::move(failed));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded);
    call << QStringList{uri} << QString();
    // Asked without waiting, so that a file manager that is slow to start
    // does not hold up the window; without one, the folder is opened.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), app);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, app,
                     [watcher, folder, failed = std::move(failed)]() mutable {
                         if (watcher->isError())
                             openFolder(folder, std::move(failed));
                         watcher->deleteLater();
                     });
}

QString revealInFileManagerTitle()
{
#ifdef Q_OS_MACOS
    return QStringLiteral("在 Finder 显示");
#else
    return QStringLiteral("在文件管理器中显示");
#endif
}

bool openInDefaultApplication(const QUrl &url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace folvan::platform
