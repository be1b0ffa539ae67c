#include "platform/Desktop.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cerrno>
#include <cstring>

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
        *error = file.errorString();
    return false;
}

void revealInFileManager(const QString &path)
{
    const QFileInfo info(path);
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    QCoreApplication *app = QCoreApplication::instance();
    if (!bus.isConnected() || !app) {
        QDesktopServices::openUrl(folder);
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
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, app, [watcher, folder] {
        if (watcher->isError())
            QDesktopServices::openUrl(folder);
        watcher->deleteLater();
    });
}

bool openInDefaultApplication(const QUrl &url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace folvan::platform
