#include "scholar/PaperReplacement.h"

#include "platform/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace folvan::scholar {

namespace {

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Takes a file the trash holds back to `path`, with the trash's note of it.
bool restoreFromTrash(const QString &trashed, const QString &path)
{
    if (::rename(QFile::encodeName(trashed).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    // The freedesktop trash keeps "files/NAME" with "info/NAME.trashinfo".
    const QFileInfo file(trashed);
    QFile::remove(file.dir().absoluteFilePath(QStringLiteral("../info/") + file.fileName()
                                              + QStringLiteral(".trashinfo")));
    return true;
}

} // namespace

bool replaceFileKeepingOldInTrash(const QString &path, const QByteArray &bytes, QString *error, QString *trashPath)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = platform::systemErrorText(ENOENT);
        return false;
    }
    // Every new byte is on disk, beside the paper, before the paper moves.
    QTemporaryFile staging(info.dir().absoluteFilePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".XXXXXX")));
    if (!staging.open()) {
        *error = platform::describedSystemError(staging.errorString());
        return false;
    }
    if (staging.write(bytes) != bytes.size() || !staging.flush() || ::fsync(staging.handle()) != 0) {
        *error = staging.errorString().isEmpty() ? platform::systemErrorText(errno)
                                                 : platform::describedSystemError(staging.errorString());
        return false;
    }
    staging.setPermissions(QFile::permissions(path));
    const QString stagingPath = staging.fileName();
    staging.close();

    QFile old(path);
    if (!old.moveToTrash()) {
        *error = QStringLiteral("无法把原文件移到废纸篓：") + platform::describedSystemError(old.errorString());
        return false;
    }
    const QString trashed = old.fileName();
    if (::rename(QFile::encodeName(stagingPath).constData(), QFile::encodeName(path).constData()) != 0) {
        const int code = errno;
        if (!restoreFromTrash(trashed, path))
            *error = platform::systemErrorText(code) + QStringLiteral("；原文件在废纸篓中：") + trashed;
        else
            *error = platform::systemErrorText(code);
        return false;
    }
    staging.setAutoRemove(false);
    syncFolder(info.absolutePath());
    if (trashPath)
        *trashPath = trashed;
    return true;
}

} // namespace folvan::scholar
