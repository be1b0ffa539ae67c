#include "platform/StoredFiles.h"

#include "platform/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace folvan::platform {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Whether anything, even a dangling symbolic link, sits at `path`.
bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    if (path.isEmpty()) {
        setError(error, systemError(ENOENT));
        return false;
    }
    const QFileInfo info(path);
    if (!ensureFolder(info.absolutePath(), error))
        return false;
    QSaveFile file(path);
    // Never fall back to writing the target in place: a failed write must
    // leave the old content.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that each write reaches the system here and its result
    // is seen: a buffered write that fails part way while being flushed at
    // commit would otherwise go unnoticed and commit a cut-off file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setError(error, file.errorString());
        return false;
    }
    qint64 done = 0;
    while (done < data.size()) {
        // A short write is followed by another one, which reports the
        // system's reason when the rest cannot be written either.
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            setError(error, file.errorString());
            file.cancelWriting();
            return false;
        }
        done += n;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

QString unreadableAsidePath(const QString &path)
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return path + QStringLiteral(".unreadable-") + stamp;
}

bool moveAsideUnreadable(const QString &path, QString *error, QString *movedTo)
{
    if (!somethingAt(path)) {
        setError(error, systemError(ENOENT));
        return false;
    }
    const QString base = unreadableAsidePath(path);
    QString target = base;
    // Two moves within one second: keep both files.
    for (int n = 2; somethingAt(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!renameWithoutReplacing(path, target, error))
        return false;
    if (movedTo)
        *movedTo = target;
    return true;
}

bool renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const QFileInfo source(from);
    if (!source.exists() && !source.isSymLink()) {
        setError(error, systemError(ENOENT));
        return false;
    }
    if (somethingAt(to)) {
        setError(error, systemError(EEXIST));
        return false;
    }
    if (source.isDir() && !source.isSymLink()) {
        if (QDir().rename(from, to))
            return true;
        setError(error, systemError(errno ? errno : EACCES));
        return false;
    }
    QFile file(from);
    // QFile::rename refuses an existing target (and uses the kernel's
    // no-replace rename where there is one).
    if (file.rename(to))
        return true;
    setError(error, file.errorString());
    return false;
}

bool copyWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    if (!QFileInfo::exists(from)) {
        setError(error, systemError(ENOENT));
        return false;
    }
    if (somethingAt(to)) {
        setError(error, systemError(EEXIST));
        return false;
    }
    QFile file(from);
    if (file.copy(to))
        return true;
    setError(error, file.errorString());
    return false;
}

} // namespace folvan::platform
