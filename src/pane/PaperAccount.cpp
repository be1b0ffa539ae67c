#include "pane/PaperAccount.h"

#include "annotations/AnnotationFile.h"
#include "history/ReadingHistory.h"
#include "notes/NoteText.h"
#include "notes/PaperNotesStore.h"
#include "platform/DataFolderAccess.h"
#include "platform/DocumentHash.h"
#include "platform/FileIdentity.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/StoredFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace folvan::pane {

namespace {

using notes::NotePaper;
using notes::PaperAway;

QString standardized(const QString &path)
{
    return platform::standardizedPath(QFileInfo(path).absoluteFilePath());
}

std::optional<QString> documentIDText(const QByteArray &firstIdentifier)
{
    if (firstIdentifier.isEmpty())
        return std::nullopt;
    return QString::fromLatin1(firstIdentifier.toHex());
}

// A record written before fingerprints were kept cannot tell its file from
// a later one given the same numbers: its name is taken as it is.
bool knowsItsFile(const NotePaper &record)
{
    return record.fileIdentity && record.fileFingerprint;
}

bool isItsFile(const QString &path, const NotePaper &record)
{
    return knowsItsFile(record) && platform::isRecordedFile(path, record.fileIdentity, record.fileFingerprint)
        && platform::isReadableFile(path);
}

// The file at a path as a record would know it, read once for a search
// through every record.
struct FileFacts {
    std::optional<QString> identity;
    std::optional<QString> fingerprint;
    bool readable = false;

    explicit FileFacts(const QString &path)
        : identity(platform::fileIdentity(path))
        , readable(platform::isReadableFile(path))
    {
        if (identity)
            fingerprint = platform::fileFingerprint(path);
    }
    bool isFileOf(const NotePaper &record) const
    {
        return readable && knowsItsFile(record) && identity == record.fileIdentity
            && fingerprint == record.fileFingerprint;
    }
};

bool differentDocuments(const std::optional<QString> &a, const std::optional<QString> &b)
{
    return a && b && *a != *b;
}

// The data folder is this reader's to change: a read-only reader leaves the
// side files where they lie.
bool mayChangeTheFolder()
{
    return !platform::DataFolderAccess::shared().readOnly();
}

} // namespace

// One settling of names: a working copy of the paper records, the papers
// that leave their names (for another name, or for nowhere), and how they
// are carried out and written back.
class PaperAccount::Settlement {
public:
    explicit Settlement(PaperAccount &account)
        : m_account(account)
        , m_records(account.m_papers.papers())
    {
    }

    QList<NotePaper> &records() { return m_records; }

    // The record that holds the name `path`; -1 when none does.
    qsizetype holderOf(const QString &path) const
    {
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            if (m_records[i].holdsItsName() && notes::sameText(m_records[i].path, path))
                return i;
        }
        return -1;
    }

    qsizetype indexOf(const QUuid &id) const
    {
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            if (m_records[i].id == id)
                return i;
        }
        return -1;
    }

    // Where the file of record `i` lies now, away from its name: under
    // another name in its folder, or at a path another record was given.
    // Empty when it is nowhere the reader looks.
    QString locate(qsizetype i) const
    {
        const NotePaper &record = m_records[i];
        if (!knowsItsFile(record))
            return {};
        const QString found = platform::findByIdentity(QFileInfo(record.path).absolutePath(), *record.fileIdentity,
                                                       record.fileFingerprint);
        if (!found.isEmpty() && !notes::sameText(standardized(found), record.path))
            return standardized(found);
        for (const NotePaper &other : m_records) {
            if (!notes::sameText(other.path, record.path) && isItsFile(other.path, record))
                return other.path;
        }
        return {};
    }

    // A record holding another name whose file is the one at `path` (the
    // paper was renamed or moved outside the reader).
    qsizetype knownElsewhere(const QString &path, const FileFacts &file) const
    {
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            const NotePaper &record = m_records[i];
            if (record.holdsItsName() && !notes::sameText(record.path, path) && file.isFileOf(record)
                && !isItsFile(record.path, record))
                return i;
        }
        return -1;
    }

    // A paper found nowhere before that is the one at `path`: the same
    // file (put back from the trash), or the same document (downloaded
    // again).
    qsizetype cameBack(const FileFacts &file, const std::optional<QString> &documentID) const
    {
        qsizetype sameDocument = -1;
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            const NotePaper &record = m_records[i];
            if (record.holdsItsName())
                continue;
            if (file.isFileOf(record))
                return i;
            if (sameDocument < 0 && documentID && record.documentID == documentID)
                sameDocument = i;
        }
        return sameDocument;
    }

    bool leaves(qsizetype i) const
    {
        return std::any_of(m_moves.begin(), m_moves.end(), [i](const Move &move) { return move.record == i; });
    }

    // Record `i` leaves its name for `to` (empty: for nowhere).
    void leave(qsizetype i, const QString &to)
    {
        if (i >= 0 && !leaves(i))
            m_moves.push_back({i, to});
    }

    // A paper that goes to a name another record holds takes it from that
    // record, whose file is not there: that paper leaves in turn.
    void followTheChain(const QString &settled)
    {
        for (std::size_t k = 0; k < m_moves.size() && k < std::size_t(m_records.size()); ++k) {
            const QString to = m_moves[k].to;
            if (to.isEmpty() || notes::sameText(to, settled))
                continue;
            const qsizetype holder = holderOf(to);
            if (holder >= 0 && !leaves(holder))
                leave(holder, locate(holder));
        }
    }

    // The files papers left at `path` when a save failed go to them.
    void handOverLeftovers(const QString &path)
    {
        for (NotePaper &record : m_records) {
            const qsizetype at = record.leftBehind.indexOf(path);
            if (at < 0)
                continue;
            bool done = true;
            for (const auto &[fileOf, kept] : sideFileKinds()) {
                const QString left = (m_account.*fileOf)(path);
                if (!QFileInfo::exists(left))
                    continue;
                QString error;
                bool placed = false;
                if (record.holdsItsName()) {
                    // What the paper holds under its own name is newer than
                    // what it left behind; otherwise the leftover is its
                    // latest.
                    const QString own = (m_account.*fileOf)(record.path);
                    placed = !QFileInfo::exists(own) && platform::renameWithoutReplacing(left, own, &error);
                } else if (!(*record.away.*kept)) {
                    QString movedTo;
                    placed = platform::moveAside(left, QStringLiteral("away"), &error, &movedTo);
                    if (placed)
                        *record.away.*kept = QFileInfo(movedTo).fileName();
                }
                if (!placed && !platform::moveAside(left, QStringLiteral("moved"), &error))
                    done = false;
            }
            if (done) {
                record.leftBehind.removeAt(at);
                m_changed = true;
            }
        }
    }

    // Sets aside whatever still lies under `path` that no paper holds.
    void setAsideStrays(const QString &path)
    {
        for (const auto &[fileOf, kept] : sideFileKinds()) {
            const QString stray = (m_account.*fileOf)(path);
            if (QFileInfo::exists(stray))
                platform::moveAside(stray, QStringLiteral("moved"));
        }
    }

    // Every paper that leaves sets its files aside first, so that papers
    // that trade names never write into each other's; those found under
    // a new name then get theirs there.
    void carryOut()
    {
        QHash<QString, QString> historyMoves;
        for (const Move &move : m_moves) {
            NotePaper &record = m_records[move.record];
            if (!record.holdsItsName())
                continue;
            const QString from = record.path;
            PaperAway away;
            bool allAside = true;
            for (const auto &[fileOf, kept] : sideFileKinds()) {
                const QString file = (m_account.*fileOf)(from);
                QString movedTo;
                if (!QFileInfo::exists(file))
                    continue;
                if (platform::moveAside(file, QStringLiteral("away"), nullptr, &movedTo))
                    away.*kept = QFileInfo(movedTo).fileName();
                else
                    allAside = false;
            }
            const QString pageKey = platform::prefkey::lastPage(from);
            if (m_account.m_defaults.contains(pageKey)) {
                m_pages.insert(move.record, m_account.m_defaults.intValue(pageKey));
                m_account.m_defaults.remove(pageKey);
            }
            if (move.to.isEmpty()) {
                if (const std::optional<history::DocumentReadingState> state = m_account.m_history.forgetPath(from))
                    m_pages.insert(move.record, int(state->page));
            } else {
                historyMoves.insert(from, move.to);
            }
            if (m_pages.contains(move.record))
                away.page = m_pages.value(move.record);
            if (!allAside && !record.leftBehind.contains(from))
                record.leftBehind.append(from);
            record.away = away;
            m_changed = true;
        }
        m_account.m_history.repath(historyMoves);

        for (const Move &move : m_moves) {
            if (move.to.isEmpty())
                continue;
            NotePaper &record = m_records[move.record];
            setAsideStrays(move.to);
            const PaperAway away = record.away.value_or(PaperAway{});
            for (const auto &[fileOf, kept] : sideFileKinds()) {
                // One that cannot be put back stays aside under its name,
                // bytes and all.
                if (away.*kept)
                    platform::renameWithoutReplacing(QDir(m_account.m_folder).filePath(*(away.*kept)),
                                                     (m_account.*fileOf)(move.to));
            }
            const QString pageKey = platform::prefkey::lastPage(move.to);
            if (away.page && !m_account.m_defaults.contains(pageKey))
                m_account.m_defaults.setValue(pageKey, int(*away.page));
            record.away.reset();
            record.path = move.to;
            refreshAt(move.to);
        }
    }

    // Writes the records back; those that took a new name are refreshed
    // from their files there.
    void commit()
    {
        notes::PaperNotesStore &papers = m_account.m_papers;
        if (!m_changed && m_placed.isEmpty())
            return;
        papers.setPapers(m_records);
        for (const QString &path : std::as_const(m_placed))
            papers.registerPaper(path);
        if (papers.keepsPaperRecords())
            papers.schedule();
    }

    void markChanged() { m_changed = true; }
    // The record at `path` is refreshed from the file there on commit.
    void refreshAt(const QString &path) { m_placed.append(path); }

private:
    using FileOf = QString (PaperAccount::*)(const QString &) const;
    using AwayName = std::optional<QString> PaperAway::*;
    // Each kind of side file: its path for a paper's path, and where a
    // record names it while set aside.
    static std::array<std::pair<FileOf, AwayName>, 2> sideFileKinds()
    {
        return {std::pair{&PaperAccount::annotationFile, &PaperAway::annotations},
                std::pair{&PaperAccount::bookmarkFile, &PaperAway::bookmarks}};
    }

    struct Move {
        qsizetype record;
        QString to;
    };

    PaperAccount &m_account;
    QList<NotePaper> m_records;
    std::vector<Move> m_moves;
    QHash<qsizetype, int> m_pages;
    QStringList m_placed;
    bool m_changed = false;
};

PaperAccount::PaperAccount(notes::PaperNotesStore &papers, history::ReadingHistory &history,
                           platform::Preferences &defaults, QString annotationFolder)
    : m_papers(papers)
    , m_history(history)
    , m_defaults(defaults)
    , m_folder(std::move(annotationFolder))
{
}

QString PaperAccount::annotationFile(const QString &path) const
{
    return annotations::markupFilePath(m_folder, standardized(path));
}

QString PaperAccount::bookmarkFile(const QString &path) const
{
    return QDir(m_folder).filePath(platform::documentFileName(standardized(path)) + QStringLiteral("-bookmarks.json"));
}

QUuid PaperAccount::opening(const QString &filePath, const QByteArray &firstIdentifier)
{
    const QString path = standardized(filePath);
    const std::optional<QString> documentID = documentIDText(firstIdentifier);
    if (mayChangeTheFolder() && !m_folder.isEmpty()) {
        Settlement settling(*this);
        settling.handOverLeftovers(path);
        const FileFacts file(path);
        const qsizetype owner = settling.holderOf(path);
        qsizetype paper = -1;
        if (owner >= 0) {
            const NotePaper &record = settling.records()[owner];
            const bool itsFile = !knowsItsFile(record) || file.isFileOf(record);
            const QString elsewhere = itsFile ? QString() : settling.locate(owner);
            if (itsFile)
                paper = owner;
            else if (!elsewhere.isEmpty())
                settling.leave(owner, elsewhere);
            else if (differentDocuments(record.documentID, documentID))
                settling.leave(owner, {});
            else
                paper = owner; // saved anew in place, or nothing tells it apart
        }
        if (paper < 0)
            paper = settling.knownElsewhere(path, file);
        if (paper < 0)
            paper = settling.cameBack(file, documentID);
        if (paper >= 0 && paper != owner)
            settling.leave(paper, path);
        settling.followTheChain(path);
        settling.carryOut();
        settling.commit();
    }

    const QUuid id = m_papers.registerPaper(filePath);
    if (documentID) {
        QList<NotePaper> records = m_papers.papers();
        for (NotePaper &record : records) {
            if (record.id == id && record.documentID != documentID) {
                record.documentID = documentID;
                m_papers.setPapers(records);
                if (m_papers.keepsPaperRecords())
                    m_papers.schedule();
                break;
            }
        }
    }
    return id;
}

void PaperAccount::makeRoom(const QString &filePath, const std::optional<QUuid> &recordID)
{
    const QString path = standardized(filePath);
    if (!mayChangeTheFolder() || m_folder.isEmpty())
        return;
    Settlement settling(*this);
    settling.handOverLeftovers(path);
    const qsizetype owner = settling.holderOf(path);
    if (owner >= 0 && (!recordID || settling.records()[owner].id != *recordID))
        settling.leave(owner, settling.locate(owner));
    settling.followTheChain(path);
    settling.carryOut();
    settling.setAsideStrays(path);
    settling.commit();
}

QUuid PaperAccount::relocated(const std::optional<QUuid> &recordID, const QString &fromPath, const QString &toPath,
                              bool markupsSaved, bool bookmarksSaved)
{
    const QString from = standardized(fromPath);
    const QString to = standardized(toPath);
    Settlement settling(*this);
    qsizetype paper = recordID ? settling.indexOf(*recordID) : -1;
    if (paper < 0)
        paper = settling.holderOf(from);

    const QString oldPage = platform::prefkey::lastPage(from);
    if (m_defaults.contains(oldPage)) {
        const QString newPage = platform::prefkey::lastPage(to);
        if (!m_defaults.contains(newPage))
            m_defaults.setValue(newPage, m_defaults.value(oldPage));
        m_defaults.remove(oldPage);
    }

    // The files of the old name: copied where the new name has none, then
    // set aside. One whose save under the new name failed still holds what
    // the new name lacks: it stays the paper's, handed over later.
    bool leftBehind = false;
    for (const auto &[fileOf, saved] : {std::pair{&PaperAccount::annotationFile, markupsSaved},
                                        std::pair{&PaperAccount::bookmarkFile, bookmarksSaved}}) {
        const QString former = (this->*fileOf)(from);
        const QString current = (this->*fileOf)(to);
        if (former == current || !QFileInfo(former).isFile())
            continue;
        QString error;
        if (!saved || (!QFileInfo::exists(current) && !platform::copyWithoutReplacing(former, current, &error))
            || !platform::moveAside(former, QStringLiteral("moved"), &error))
            leftBehind = true;
    }

    if (paper >= 0) {
        NotePaper &record = settling.records()[paper];
        record.path = to;
        record.away.reset();
        record.leftBehind.removeAll(to);
        if (leftBehind && !record.leftBehind.contains(from))
            record.leftBehind.append(from);
        settling.markChanged();
        settling.commit();
    }
    return m_papers.registerPaper(toPath);
}

void PaperAccount::wentAway(const QString &filePath)
{
    const QString path = standardized(filePath);
    Settlement settling(*this);
    const qsizetype paper = settling.holderOf(path);
    if (paper < 0 || !mayChangeTheFolder() || m_folder.isEmpty()) {
        m_history.forgetPath(path);
        return;
    }
    settling.leave(paper, {});
    settling.carryOut();
    settling.commit();
}

void PaperAccount::replaced(const QString &filePath, const QByteArray &firstIdentifier)
{
    const QString path = standardized(filePath);
    Settlement settling(*this);
    const qsizetype paper = settling.holderOf(path);
    if (paper >= 0) {
        settling.records()[paper].documentID = documentIDText(firstIdentifier);
        settling.refreshAt(path);
        settling.commit();
    }
    m_history.repath({{path, path}});
}

} // namespace folvan::pane
