#include "platform/FileIdentity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace folvan::platform {

namespace {

QString identityText(const struct stat &info)
{
    return QStringLiteral("%1:%2").arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
}

bool inGroup(gid_t gid)
{
    if (gid == getegid())
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[std::size_t(i)] == gid)
            return true;
    }
    return false;
}

} // namespace

std::optional<QString> fileIdentity(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return identityText(info);
}

bool isReadableFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode)
        || ::access(native.constData(), R_OK) != 0)
        return false;
    mode_t bit = S_IROTH;
    if (info.st_uid == geteuid())
        bit = S_IRUSR;
    else if (inGroup(info.st_gid))
        bit = S_IRGRP;
    return (info.st_mode & bit) != 0;
}

std::optional<QString> fileFingerprint(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray native = QFile::encodeName(path);
    struct statx info {};
    if (::statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_SIZE | STATX_TYPE, &info)
        != 0)
        return std::nullopt;
    if (info.stx_mask & STATX_BTIME)
        return QStringLiteral("birth:%1.%2").arg(qint64(info.stx_btime.tv_sec)).arg(info.stx_btime.tv_nsec);
    if (!S_ISREG(info.stx_mode))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    constexpr qint64 part = 64 * 1024;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    digest.addData(file.read(part));
    const qint64 size = file.size();
    if (size > part && file.seek(std::max(part, size - part)))
        digest.addData(file.read(part));
    return QStringLiteral("content:%1:%2").arg(size).arg(QString::fromLatin1(digest.result().toHex()));
}

bool isRecordedFile(const QString &path, const std::optional<QString> &identity,
                    const std::optional<QString> &fingerprint)
{
    if (!identity || fileIdentity(path) != identity)
        return false;
    return !fingerprint || fileFingerprint(path) == fingerprint;
}

QString findByIdentity(const QString &folder, const QString &identity, const std::optional<QString> &fingerprint)
{
    const int colon = identity.indexOf(QLatin1Char(':'));
    bool numberOk = false;
    const quint64 fileNumber = identity.mid(colon + 1).toULongLong(&numberOk);
    if (colon <= 0 || !numberOk)
        return {};
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return {};
    // The directory entries carry their file numbers, so only an entry with
    // the right number needs its attributes read.
    QString found;
    while (const dirent *entry = ::readdir(dir)) {
        if (quint64(entry->d_ino) != fileNumber)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString candidate = QDir(folder).filePath(name);
        if (isRecordedFile(candidate, identity, fingerprint) && isReadableFile(candidate)) {
            found = candidate;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace folvan::platform
