#include "platform/Paths.h"

#include "platform/DataFolderAccess.h"
#include "platform/SystemErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

namespace folvan::platform {

QString folvanDataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // A relative location would land in whatever folder the program was
    // started from: treat it as no location at all.
    if (base.isEmpty() || QDir::isRelativePath(base))
        return {};
    return QDir::cleanPath(base + QStringLiteral("/Folvan"));
}

QString folvanDataPath(const QString &relative)
{
    const QString folder = folvanDataFolder();
    if (folder.isEmpty())
        return {};
    return QDir::cleanPath(folder + QLatin1Char('/') + relative);
}

bool ensureFolder(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists()) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        return false;
    }
    if (DataFolderAccess::shared().holdsBack(path)) {
        if (error)
            *error = DataFolderAccess::heldBackText();
        return false;
    }
    errno = 0;
    if (QDir().mkpath(path) && QFileInfo(path).isDir())
        return true;
    if (error) {
        const int code = errno ? errno : EACCES;
        *error = systemErrorText(code);
    }
    return false;
}

} // namespace folvan::platform
