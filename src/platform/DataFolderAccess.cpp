#include "platform/DataFolderAccess.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace folvan::platform {

DataFolderAccess &DataFolderAccess::shared()
{
    static auto *access = new DataFolderAccess;
    return *access;
}

DataFolderAccess::~DataFolderAccess()
{
    release();
}

QString DataFolderAccess::lockFileName()
{
    return QStringLiteral("Folvan.lock");
}

QString DataFolderAccess::heldBackText()
{
    return QStringLiteral("另一个 Folvan 正在使用同一个数据文件夹，本窗口只读；更改暂存在本窗口，它退出后或本窗口退出时合并保存。");
}

DataFolderAccess::Claim DataFolderAccess::claim(const QString &folder)
{
    release();
    m_folder = QDir::cleanPath(folder);
    if (folder.isEmpty() || !ensureFolder(folder))
        return Claim::NoLock;
    // A lock the system holds for the open file: it ends with the process,
    // whatever ends it, and the file itself stays for the next reader.
    m_fd = ::open(QFile::encodeName(QDir(folder).filePath(lockFileName())).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return Claim::NoLock;
    if (retry())
        return Claim::Taken;
    return m_fd >= 0 ? Claim::HeldElsewhere : Claim::NoLock;
}

bool DataFolderAccess::retry()
{
    if (m_fd < 0)
        return false;
    int result;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        setHeldElsewhere(false);
        return true;
    }
    if (errno == EWOULDBLOCK) {
        setHeldElsewhere(true);
        return false;
    }
    // The file system keeps no such locks: as without the lock.
    ::close(m_fd);
    m_fd = -1;
    setHeldElsewhere(false);
    return false;
}

void DataFolderAccess::holdWritesBack(bool hold)
{
    setFlag(&m_holdingBack, hold);
}

bool DataFolderAccess::holdsBack(const QString &path) const
{
    if (!readOnly() || path.isEmpty())
        return false;
    const QString cleaned = QDir::cleanPath(path);
    return cleaned == m_folder || cleaned.startsWith(m_folder + QLatin1Char('/'));
}

void DataFolderAccess::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    setHeldElsewhere(false);
    m_holdingBack = true;
}

void DataFolderAccess::setHeldElsewhere(bool held)
{
    setFlag(&m_heldElsewhere, held);
}

void DataFolderAccess::setFlag(bool *flag, bool value)
{
    const bool was = readOnly();
    *flag = value;
    if (readOnly() != was)
        emit readOnlyChanged();
}

} // namespace folvan::platform
