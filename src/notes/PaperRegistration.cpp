// Paper records: finding the record of a file again after a rename or a
// move, and finding a readable file for a record.

#include "notes/NoteText.h"
#include "notes/PaperNotesStore.h"
#include "platform/DocumentHash.h"
#include "platform/FileIdentity.h"

#include <QFile>
#include <QFileInfo>

namespace folvan::notes {

namespace {

// The file name without its last extension ("a.b.pdf" gives "a.b"); a name
// whose only dot leads it, or ends it, is kept whole.
QString titleOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && dot < name.size() - 1 ? name.left(dot) : name;
}

// A record found by its file identity alone belongs to the file only when
// its recorded path no longer names another file, and the file is the one
// recorded: numbers are reused by the file system, both when the recorded
// file was replaced in place (saved anew) and when it was deleted.
bool identityMayRelink(const NotePaper &record, const QString &path, const QString &identity)
{
    if (QFileInfo::exists(record.path) && platform::fileIdentity(record.path) != identity)
        return false;
    return platform::isRecordedFile(path, record.fileIdentity, record.fileFingerprint);
}

} // namespace

QUuid PaperNotesStore::registerPaper(const QString &filePath)
{
    const QString path = platform::standardizedPath(QFileInfo(filePath).absoluteFilePath());
    const std::optional<QString> identity = platform::fileIdentity(filePath);

    qsizetype matched = -1;
    for (qsizetype i = 0; i < m_papers.size() && matched < 0; ++i) {
        const NotePaper &record = m_papers[i];
        // A paper whose file was found nowhere holds no name: it comes back
        // only through PaperAccount, which gives it its side files again.
        if (!record.holdsItsName())
            continue;
        if (sameText(record.path, path)
            || (identity && record.fileIdentity && *record.fileIdentity == *identity
                && identityMayRelink(record, filePath, *identity)))
            matched = i;
    }

    NotePaper refreshed = matched < 0 ? NotePaper{} : m_papers[matched];
    refreshed.path = path;
    refreshed.fileIdentity = identity;
    refreshed.fileFingerprint = platform::fileFingerprint(filePath);
    refreshed.title = titleOf(filePath);
    // A bookmark read from the file is kept as it is: this platform makes
    // none, and the file identity takes its place in the matching above.

    if (matched < 0) {
        m_papers.append(refreshed);
    } else if (!(m_papers[matched] == refreshed)) {
        m_papers[matched] = refreshed;
    } else {
        return refreshed.id;
    }
    emit papersChanged();
    // A library that keeps no records (its file did not read) holds this
    // one in memory only: the reader changed nothing there, and the quit
    // names no notes for it.
    if (keepsPaperRecords())
        schedule();
    return refreshed.id;
}

void PaperNotesStore::paperMoved(const QString &from, const QString &to)
{
    const QString oldPath = platform::standardizedPath(QFileInfo(from).absoluteFilePath());
    const QString newPath = platform::standardizedPath(QFileInfo(to).absoluteFilePath());
    if (oldPath == newPath)
        return;
    for (const NotePaper &record : m_papers) {
        if (sameText(record.path, newPath))
            return; // the paper has a record of its own name already
    }
    for (NotePaper &record : m_papers) {
        if (!sameText(record.path, oldPath))
            continue;
        if (!record.fileFingerprint || platform::isRecordedFile(from, record.fileIdentity, record.fileFingerprint)
            || !platform::isRecordedFile(to, record.fileIdentity, record.fileFingerprint))
            return;
        record.path = newPath;
        record.fileIdentity = platform::fileIdentity(to);
        record.fileFingerprint = platform::fileFingerprint(to);
        record.title = titleOf(to);
        emit papersChanged();
        if (keepsPaperRecords())
            schedule();
        return;
    }
}

std::optional<QString> PaperNotesStore::resolve(const std::optional<QUuid> &paperID) const
{
    const std::optional<NotePaper> record = paper(paperID);
    if (!record)
        return std::nullopt;
    // The name a paper left may hold another paper now.
    if (platform::isReadableFile(record->path)
        && (record->holdsItsName() || platform::isRecordedFile(record->path, record->fileIdentity, record->fileFingerprint)))
        return record->path;
    // A paper renamed outside the reader is found in its old folder by its
    // file identity.
    if (record->fileIdentity) {
        const QString found = platform::findByIdentity(QFileInfo(record->path).absolutePath(),
                                                       *record->fileIdentity, record->fileFingerprint);
        if (!found.isEmpty())
            return found;
    }
    return std::nullopt;
}

} // namespace folvan::notes
