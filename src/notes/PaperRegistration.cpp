// Paper records: finding the record of a file again after a rename or a
// move, and finding a readable file for a record.

#include "notes/NoteText.h"
#include "notes/PaperNotesStore.h"
#include "platform/DocumentHash.h"
#include "platform/FileIdentity.h"

#include <QFile>
#include <QFileInfo>

namespace folvan {

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
// its recorded path no longer names another file. Numbers are reused by the
// file system: once the recorded file was replaced in place (saved anew),
// the old number may turn up on an unrelated file.
bool identityMayRelink(const NotePaper &record, const QString &identity)
{
    if (!QFileInfo::exists(record.path))
        return true;
    return platform::fileIdentity(record.path) == identity;
}

} // namespace

QUuid PaperNotesStore::registerPaper(const QString &filePath)
{
    const QString path = platform::standardizedPath(QFileInfo(filePath).absoluteFilePath());
    const std::optional<QString> identity = platform::fileIdentity(filePath);

    qsizetype matched = -1;
    for (qsizetype i = 0; i < m_papers.size() && matched < 0; ++i) {
        const NotePaper &record = m_papers[i];
        if (notes::sameText(record.path, path)
            || (identity && record.fileIdentity && *record.fileIdentity == *identity
                && identityMayRelink(record, *identity)))
            matched = i;
    }

    NotePaper refreshed = matched < 0 ? NotePaper{} : m_papers[matched];
    refreshed.path = path;
    refreshed.fileIdentity = identity;
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
    schedule();
    return refreshed.id;
}

std::optional<QString> PaperNotesStore::resolve(const std::optional<QUuid> &paperID) const
{
    const std::optional<NotePaper> record = paper(paperID);
    if (!record || !platform::isReadableFile(record->path))
        return std::nullopt;
    return record->path;
}

} // namespace folvan
