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
// its recorded path holds no file any more (the paper was renamed or moved),
// and the file is the one recorded: numbers are reused by the file system,
// both when the recorded file was replaced in place (saved anew) and when
// it was deleted. A path that still holds the file is a second name of it
// (a hard link, a bind mount), with marks of its own.
bool identityMayRelink(const NotePaper &record, const QString &path)
{
    if (QFileInfo::exists(record.path))
        return false;
    return platform::isRecordedFile(path, record.fileIdentity, record.fileFingerprint);
}

} // namespace

void PaperNotesStore::describeFile(NotePaper *record, const QString &filePath)
{
    record->path = platform::standardizedPath(QFileInfo(filePath).absoluteFilePath());
    record->fileIdentity = platform::fileIdentity(filePath);
    record->fileFingerprint = platform::fileFingerprint(filePath);
    record->title = titleOf(filePath);
    // A bookmark read from the file is kept as it is: this platform makes
    // none, and the file identity takes its place in the matching.
}

QUuid PaperNotesStore::registerPaper(const QString &filePath)
{
    ensureLoaded();
    const QString path = platform::standardizedPath(QFileInfo(filePath).absoluteFilePath());
    const std::optional<QString> identity = platform::fileIdentity(filePath);

    // The first record, in the list's order, that holds the path or may
    // follow the file. A paper whose file was found nowhere holds no name:
    // it comes back only through the settling of names, which gives it its
    // side files again.
    const PaperIndex &index = paperIndex();
    qsizetype matched = -1;
    const auto consider = [&matched](qsizetype at) {
        if (matched < 0 || at < matched)
            matched = at;
    };
    for (const qsizetype at : index.holders(path))
        consider(at);
    if (identity) {
        for (const qsizetype at : index.ofIdentity(*identity)) {
            const NotePaper &record = m_papers[at];
            if (record.holdsItsName() && (matched < 0 || at < matched) && identityMayRelink(record, filePath))
                consider(at);
        }
    }

    NotePaper refreshed = matched < 0 ? NotePaper{} : m_papers[matched];
    describeFile(&refreshed, filePath);
    if (matched < 0)
        updatePapers({}, {refreshed});
    else if (!(m_papers[matched] == refreshed))
        updatePapers({refreshed});
    // A library that keeps no records (its file did not read) holds a new
    // one in memory only: the reader changed nothing there, and the quit
    // names no notes for it.
    return refreshed.id;
}

void PaperNotesStore::paperMoved(const QString &from, const QString &to)
{
    ensureLoaded();
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
        m_indexStale = true;
        emit papersChanged();
        if (keepsPaperRecords())
            schedule();
        return;
    }
}

std::optional<QString> PaperNotesStore::resolve(const std::optional<QUuid> &paperID) const
{
    ensureLoaded();
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
