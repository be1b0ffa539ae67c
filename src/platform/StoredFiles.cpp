#include "platform/StoredFiles.h"

#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/SystemErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvan::platform {

namespace {

const QString kNotARegularFile = QStringLiteral("不是普通文件");

QString systemError(int code)
{
    return systemErrorText(code);
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

// Where a stored file kept behind a symbolic link really lies: the end of
// the chain of links when that is a regular file, or nothing yet (a link
// made before its file). Empty when `path` is no link, or leads to
// something else (a device, a folder, a loop), which is never written
// through nor moved: the link itself is. `*lost` is set for a link into a
// folder that is not there (a synced disk not mounted): nothing is
// written then, neither there nor over the link.
QString linkedFile(const QString &path, bool *lost = nullptr)
{
    if (lost)
        *lost = false;
    if (!QFileInfo(path).isSymLink())
        return {};
    QString at = path;
    // As many links as the system itself follows.
    for (int hop = 0; hop < 40 && !at.isEmpty(); ++hop) {
        const QFileInfo info(at);
        if (!info.isSymLink()) {
            if (info.exists())
                return info.isFile() ? info.absoluteFilePath() : QString();
            if (QFileInfo(info.absolutePath()).isDir())
                return info.absoluteFilePath();
            if (lost)
                *lost = true;
            return {};
        }
        at = info.symLinkTarget();
    }
    return {};
}

} // namespace

namespace {

// A temporary file of an atomic write: the target's name, a dot and six
// letters or digits, in the target's folder.
const QRegularExpression &temporaryName()
{
    static const QRegularExpression form(QStringLiteral("^.+\\.json\\.[A-Za-z0-9]{6}$"));
    return form;
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// Makes a finished rename last: the folder's entry is on disk once this
// returns. A folder that cannot be synced (some file systems refuse) is no
// failure of the write.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

namespace {

// The file that a write to `path` replaces (the end of a link to a stored
// file kept elsewhere, else `path` itself), with its folder made when it
// is not behind a link. Empty with the error when there is none.
QString writeTarget(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        setError(error, systemError(ENOENT));
        return {};
    }
    // A stored file kept elsewhere behind a link (a synced folder) is
    // written where it lies; the link stays.
    bool lost = false;
    const QString linked = linkedFile(path, &lost);
    if (lost) {
        setError(error, systemError(ENOENT));
        return {};
    }
    const QFileInfo info(linked.isEmpty() ? path : linked);
    if (linked.isEmpty() && !ensureFolder(info.absolutePath(), error))
        return {};
    return info.absoluteFilePath();
}

bool replaceFile(const QString &targetPath, const QByteArray &data, QString *error)
{
    const QByteArray target = QFile::encodeName(targetPath);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, systemError(errno));
        return false;
    }
    // The new file keeps the old one's permissions; a first one is readable
    // by all and writable by its owner, as files made by the user are.
    struct stat old {};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    // Every byte is on disk before the rename makes the file the target, so
    // that a crash leaves either the old or the whole new content.
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        setError(error, systemError(code));
        return false;
    }
    syncFolder(QFileInfo(targetPath).absolutePath());
    return true;
}

StoredFileVersion versionOf(const struct stat &info)
{
    StoredFileVersion version;
    version.present = true;
    version.device = quint64(info.st_dev);
    version.inode = quint64(info.st_ino);
    version.size = qint64(info.st_size);
#ifdef __APPLE__
    const struct timespec &modified = info.st_mtimespec;
    const struct timespec &changed = info.st_ctimespec;
#else
    const struct timespec &modified = info.st_mtim;
    const struct timespec &changed = info.st_ctim;
#endif
    version.modifiedNs = qint64(modified.tv_sec) * 1000000000 + modified.tv_nsec;
    version.changedNs = qint64(changed.tv_sec) * 1000000000 + changed.tv_nsec;
    return version;
}

// The version of what lies at `path` now (followed through links).
StoredFileVersion versionAt(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return versionOf(info);
}

// Holds the folder's lock while a store checks and replaces its file, so
// that another reader's write to the same folder comes before or after,
// never in between. Where the system has no such lock, nothing is held.
class FolderWriteLock {
public:
    explicit FolderWriteLock(const QString &folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderWriteLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderWriteLock(const FolderWriteLock &) = delete;
    FolderWriteLock &operator=(const FolderWriteLock &) = delete;

private:
    int m_fd;
};

} // namespace

StoredFileVersion storedFileVersion(const QString &path)
{
    return versionAt(path);
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    const QString target = writeTarget(path, error);
    return !target.isEmpty() && replaceFile(target, data, error);
}

StoredWrite writeStoredFile(const QString &path, StoredFileVersion *seen, const QByteArray &data,
                            QByteArray *current, QString *error)
{
    current->clear();
    if (DataFolderAccess::shared().holdsBack(path)) {
        setError(error, DataFolderAccess::heldBackText());
        return StoredWrite::Failed;
    }
    const QString target = writeTarget(path, error);
    if (target.isEmpty())
        return StoredWrite::Failed;
    const FolderWriteLock lock(QFileInfo(target).absolutePath());
    const StoredFileVersion now = versionAt(target);
    // A file that is gone holds nothing to lose; one that is still the
    // version read or written last holds nothing unread.
    if (now.present && !(now == *seen)) {
        StoredFileVersion read;
        switch (readStoredFile(target, current, nullptr, &read)) {
        case StoredRead::Absent:
            break;
        case StoredRead::Read:
            *seen = read;
            return StoredWrite::Changed;
        case StoredRead::Unreadable:
            current->clear();
            *seen = now;
            return StoredWrite::Changed;
        }
    }
    if (!replaceFile(target, data, error))
        return StoredWrite::Failed;
    *seen = versionAt(target);
    return StoredWrite::Written;
}

StoredRead readStoredFile(const QString &path, QByteArray *data, QString *error, StoredFileVersion *version)
{
    data->clear();
    if (version)
        *version = {};
    if (path.isEmpty() || !QFileInfo::exists(path))
        return StoredRead::Absent;
    // Opened without waiting, then checked on the open file itself, so that
    // nothing swapped in between the check and the open is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT)
            return StoredRead::Absent;
        setError(error, systemError(code));
        return StoredRead::Unreadable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setError(error, kNotARegularFile);
        return StoredRead::Unreadable;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            ::close(fd);
            setError(error, systemError(code));
            return StoredRead::Unreadable;
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    *data = std::move(bytes);
    if (version)
        *version = versionOf(info);
    return StoredRead::Read;
}

int removeLeftoverTemporaryFiles(const QString &folder)
{
    // Read entry by entry, as the folder may hold every paper's side files:
    // only a name that ends as a temporary one does is looked at further.
    int removed = 0;
    const QByteArray native = QFile::encodeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return 0;
    QStringList subfolders;
    while (const dirent *entry = ::readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const QString path = QDir(folder).filePath(QFile::decodeName(entry->d_name));
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info {};
            if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            subfolders << path;
        } else if (type == DT_REG && length > 12 && std::strncmp(entry->d_name + length - 12, ".json.", 6) == 0
                   && temporaryName().match(QFile::decodeName(entry->d_name)).hasMatch() && QFile::remove(path)) {
            ++removed;
        }
    }
    ::closedir(dir);
    for (const QString &subfolder : std::as_const(subfolders))
        removed += removeLeftoverTemporaryFiles(subfolder);
    return removed;
}

int removeLeftoverTemporaryFilesOfTheStores()
{
    int removed = 0;
    const QString data = folvanDataFolder();
    if (!data.isEmpty())
        removed += removeLeftoverTemporaryFiles(data);
    const QString preferences = Preferences::defaultFilePath();
    if (!preferences.isEmpty())
        removed += removeLeftoverTemporaryFiles(QFileInfo(preferences).absolutePath());
    return removed;
}

QString unreadableAsidePath(const QString &path)
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return path + QStringLiteral(".unreadable-") + stamp;
}

namespace {

QString freeAsidePath(const QString &path, const QString &label)
{
    const QString base = path + QLatin1Char('.') + label + QLatin1Char('-')
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString target = base;
    // Two within one second: keep both files.
    for (int n = 2; somethingAt(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    return target;
}

} // namespace

QString asideTarget(const QString &path, const QString &label, QString *source)
{
    // A linked file is set aside beside itself, so that the link leads to
    // the file written next.
    const QString linked = linkedFile(path);
    *source = linked.isEmpty() || !QFileInfo::exists(linked) ? path : linked;
    return freeAsidePath(*source, label);
}

bool moveAside(const QString &path, const QString &label, QString *error, QString *movedTo)
{
    if (!somethingAt(path)) {
        setError(error, systemError(ENOENT));
        return false;
    }
    if (DataFolderAccess::shared().holdsBack(path)) {
        setError(error, DataFolderAccess::heldBackText());
        return false;
    }
    QString source;
    const QString target = asideTarget(path, label, &source);
    if (!renameWithoutReplacing(source, target, error))
        return false;
    if (movedTo)
        *movedTo = target;
    return true;
}

bool copyAside(const QString &path, const QString &label, QString *error)
{
    return copyWithoutReplacing(path, freeAsidePath(path, label), error);
}

bool moveAsideUnreadable(const QString &path, QString *error, QString *movedTo)
{
    return moveAside(path, QStringLiteral("unreadable"), error, movedTo);
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
    setError(error, describedSystemError(file.errorString()));
    return false;
}

bool copyWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    if (DataFolderAccess::shared().holdsBack(to)) {
        setError(error, DataFolderAccess::heldBackText());
        return false;
    }
    if (!QFileInfo::exists(from)) {
        setError(error, systemError(ENOENT));
        return false;
    }
    // Copying reads the file: only a regular one is opened.
    if (!QFileInfo(from).isFile()) {
        setError(error, kNotARegularFile);
        return false;
    }
    if (somethingAt(to)) {
        setError(error, systemError(EEXIST));
        return false;
    }
    QFile file(from);
    if (file.copy(to))
        return true;
    setError(error, describedSystemError(file.errorString()));
    return false;
}

} // namespace folvan::platform
