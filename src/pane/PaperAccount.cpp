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
#include <QSet>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <utility>
#include <vector>

namespace folvan::pane {

namespace {

using notes::NotePaper;
using notes::PaperAway;
using notes::PlannedRename;

std::function<void()> &fileOperationProbe()
{
    static std::function<void()> probe;
    return probe;
}

void afterFileOperation()
{
    if (fileOperationProbe())
        fileOperationProbe()();
}

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

// The file at a path as a record would know it, read once.
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

// The data folder is this reader's to change: a read-only reader moves
// nothing.
bool mayChangeTheFolder()
{
    return !platform::DataFolderAccess::shared().readOnly();
}

} // namespace

// One settling of names: the paper records as it changes them (over the
// library's, looked up through its index), the papers that leave their
// names (for another name, or for nowhere), the renames of side files
// that carry this out, and how they are written ahead, done and taken in.
class PaperAccount::Settlement {
public:
    explicit Settlement(PaperAccount &account)
        : m_account(account)
        , m_store(account.m_papers)
        , m_base(m_store.paperRecords())
        , m_index(m_store.paperIndex())
    {
    }

    const NotePaper &record(qsizetype i) const
    {
        if (i >= m_base.size())
            return m_added[std::size_t(i - m_base.size())];
        const auto changed = m_changed.find(i);
        return changed == m_changed.end() ? m_base[i] : changed->second;
    }
    NotePaper &edit(qsizetype i)
    {
        if (i >= m_base.size())
            return m_added[std::size_t(i - m_base.size())];
        return m_changed.try_emplace(i, m_base[i]).first->second;
    }
    // A new record; its position.
    qsizetype add(NotePaper paper)
    {
        m_added.push_back(std::move(paper));
        return m_base.size() + qsizetype(m_added.size()) - 1;
    }

    qsizetype indexOf(const QUuid &id) const { return m_index.position(id); }

    // The record that holds the name `path`; -1 when none does.
    qsizetype holderOf(const QString &path) const
    {
        const QList<qsizetype> holders = m_index.holders(path);
        return holders.isEmpty() ? -1 : *std::min_element(holders.begin(), holders.end());
    }

    // Where the file of record `i` lies now, away from its name, in its
    // folder; empty when it is nowhere the reader looks.
    QString locate(qsizetype i) const
    {
        const NotePaper &paper = record(i);
        if (!knowsItsFile(paper))
            return {};
        const QString found = platform::findByIdentity(QFileInfo(paper.path).absolutePath(), *paper.fileIdentity,
                                                       paper.fileFingerprint);
        if (!found.isEmpty() && !notes::sameText(standardized(found), paper.path))
            return standardized(found);
        return {};
    }

    // Which paper the file at `path` is. The file evidence comes first: the
    // name's own paper when it is its file (written over in place keeps it,
    // whatever /ID it has now); else a paper whose file this is, its own
    // name no longer holding it; else the name's paper saved anew, unless
    // its file lies elsewhere or the /ID tells them apart; else a paper
    // whose file is at none of its names, by the /ID. A name's former
    // holder leaves it on the way. -1: a paper never seen.
    qsizetype paperAt(const QString &path, const FileFacts &file, const std::optional<QString> &documentID,
                      qsizetype owner)
    {
        if (owner >= 0 && (!knowsItsFile(record(owner)) || file.isFileOf(record(owner))))
            return owner;
        const qsizetype known = knownFile(path, file, owner);
        if (known >= 0) {
            if (owner >= 0)
                leave(owner, locate(owner));
            return known;
        }
        if (owner >= 0) {
            const QString elsewhere = locate(owner);
            if (!elsewhere.isEmpty())
                leave(owner, elsewhere);
            else if (differentDocuments(record(owner).documentID, documentID))
                leave(owner, {});
            else
                return owner; // saved anew in place, or nothing tells it apart
        }
        return sameDocument(path, documentID, owner);
    }

    // Record `i` leaves its name for `to` (empty: for nowhere). A paper
    // arriving under a name takes what lies there unclaimed as its own
    // when it brings none of that kind (`claimsStrays`).
    void leave(qsizetype i, const QString &to, bool claimsStrays = true)
    {
        if (i >= 0 && !leaves(i))
            m_moves.push_back({i, to, claimsStrays});
    }

    // A paper that goes to a name another record holds takes it from that
    // record, whose file is not there: that paper leaves in turn.
    void followTheChain(const QString &settled)
    {
        for (std::size_t k = 0; k < m_moves.size() && k < std::size_t(m_base.size()); ++k) {
            const QString to = m_moves[k].to;
            if (to.isEmpty() || notes::sameText(to, settled))
                continue;
            const qsizetype holder = holderOf(to);
            if (holder >= 0 && !leaves(holder))
                leave(holder, locate(holder));
        }
    }

    // The files papers left under `path` when they could not take them
    // along go to them: to their current name where it has none of that
    // kind, aside for them where they are found nowhere, aside otherwise
    // (what a paper holds under its own name is newer).
    void handOverLeftovers(const QString &path)
    {
        for (const qsizetype i : m_index.leftAt(path)) {
            NotePaper &paper = edit(i);
            const qsizetype at = paper.leftBehind.indexOf(path);
            if (at < 0)
                continue;
            paper.leftBehind.removeAt(at);
            for (const auto &[fileOf, kind] : sideFileKinds()) {
                const QString left = (m_account.*fileOf)(path);
                if (!present(left))
                    continue;
                const QString own = paper.holdsItsName() ? (m_account.*fileOf)(paper.path) : QString();
                if (!own.isEmpty() && !present(own)) {
                    step(left, own, i, kind, path);
                } else if (!paper.holdsItsName() && !(*paper.away.*kind)) {
                    *paper.away.*kind = QFileInfo(stepAside(left, QStringLiteral("away"), i, kind, path)).fileName();
                } else {
                    stepAside(left, QStringLiteral("moved"), i, kind, path);
                }
            }
        }
    }

    // Plans what the leaving papers do: every one first sets its files
    // aside, so that papers that trade names never write into each other's;
    // those found under a new name then get theirs there.
    void plan()
    {
        for (const Move &move : m_moves) {
            NotePaper &paper = edit(move.record);
            if (!paper.holdsItsName())
                continue; // comes back: its files are aside already
            const QString from = paper.path;
            PaperAway away;
            for (const auto &[fileOf, kind] : sideFileKinds()) {
                const QString file = (m_account.*fileOf)(from);
                if (present(file))
                    away.*kind = QFileInfo(stepAside(file, QStringLiteral("away"), move.record, kind, from)).fileName();
            }
            const QString pageKey = platform::prefkey::lastPage(from);
            if (m_account.m_defaults.contains(pageKey)) {
                away.page = m_account.m_defaults.intValue(pageKey);
                m_pagesLeft << pageKey;
            }
            if (move.to.isEmpty()) {
                if (const std::optional<history::RecentReading> reading = m_account.m_history.recordAt(from))
                    away.page = reading->state.page;
                m_historyForgotten << from;
            } else {
                m_historyMoves.insert(from, move.to);
            }
            paper.away = away;
        }
        for (const Move &move : m_moves) {
            if (move.to.isEmpty())
                continue;
            NotePaper &paper = edit(move.record);
            const PaperAway away = paper.away.value_or(PaperAway{});
            for (const auto &[fileOf, kind] : sideFileKinds()) {
                const QString file = (m_account.*fileOf)(move.to);
                const bool brings = (away.*kind).has_value();
                if (present(file) && (brings || !move.claimsStrays))
                    stepAside(file, QStringLiteral("moved"), -1, kind, {});
                if (brings)
                    step(QDir(m_account.m_folder).filePath(*(away.*kind)), file, move.record, kind, {});
            }
            const QString pageKey = platform::prefkey::lastPage(move.to);
            if (away.page && !m_account.m_defaults.contains(pageKey))
                m_pagesPlaced.insert(pageKey, int(*away.page));
            paper.away.reset();
            paper.leftBehind.removeAll(move.to);
            notes::PaperNotesStore::describeFile(&paper, move.to);
        }
    }

    // A paper never seen arrives under `path`: a place the history keeps
    // there for another file is another paper's, left by a paper that went
    // (a reader killed before it forgot it).
    void forgetOtherReading(const QString &path, const FileFacts &file)
    {
        const std::optional<history::RecentReading> reading = m_account.m_history.recordAt(path);
        if (m_historyMoves.contains(path) || m_historyForgotten.contains(path)
            || std::find(m_historyMoves.cbegin(), m_historyMoves.cend(), path) != m_historyMoves.cend())
            return; // settled with the papers that leave or take the name
        if (!reading || !reading->fileIdentity || !reading->fileFingerprint
            || (reading->fileIdentity == file.identity && reading->fileFingerprint == file.fingerprint))
            return;
        m_historyForgotten << path;
        m_pagesLeft << platform::prefkey::lastPage(path);
    }

    // Writes the plan ahead, carries it out and takes the records in.
    // False when it moves files or names, or changes the history, and the
    // account cannot be written (`mayMove` false, or the journal fails):
    // nothing is done then.
    bool carryOut(bool mayMove)
    {
        if (!m_steps.empty() || !m_moves.empty() || !m_historyForgotten.isEmpty()) {
            if (!mayMove)
                return false;
            afterFileOperation();
            if (!m_steps.empty()) {
                if (!m_store.writeAhead(records(), renames()))
                    return false;
                afterFileOperation();
            }
        }
        bool mended = false;
        for (const Step &planned : m_steps) {
            if (!platform::renameWithoutReplacing(planned.rename.from, planned.rename.to))
                mended = failed(planned) || mended;
            afterFileOperation();
        }
        // What could not move stays where it lies, still named.
        if (mended)
            m_store.writeAhead(records(), {});

        for (const QString &key : std::as_const(m_pagesLeft))
            m_account.m_defaults.remove(key);
        for (auto page = m_pagesPlaced.cbegin(); page != m_pagesPlaced.cend(); ++page)
            m_account.m_defaults.setValue(page.key(), page.value());
        for (const QString &path : std::as_const(m_historyForgotten))
            m_account.m_history.forgetPath(path);
        m_account.m_history.repath(m_historyMoves);

        QList<NotePaper> changed;
        for (const auto &[at, paper] : m_changed) {
            if (!(paper == m_base[at]))
                changed.append(paper);
        }
        m_store.updatePapers(changed, QList<NotePaper>(m_added.begin(), m_added.end()));
        return true;
    }

    // Whether the side files under `path` went where they had to.
    bool settledAt(const QString &path) const
    {
        const QString markups = m_account.annotationFile(path);
        const QString bookmarks = m_account.bookmarkFile(path);
        return std::none_of(m_failed.begin(), m_failed.end(), [&](const PlannedRename &rename) {
            return rename.from == markups || rename.from == bookmarks || rename.to == markups
                || rename.to == bookmarks;
        });
    }

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
        bool claimsStrays;
    };
    // One rename, of a side file of `record` (-1: of no record), of this
    // kind; when it fails, the file stays under the name `leftName`, still
    // that record's.
    struct Step {
        PlannedRename rename;
        qsizetype record;
        AwayName kind;
        QString leftName;
    };

    bool leaves(qsizetype i) const
    {
        return std::any_of(m_moves.begin(), m_moves.end(), [i](const Move &move) { return move.record == i; });
    }

    // A paper whose file the one at `path` is, while its own name no longer
    // holds it (renamed or moved outside, put back from the trash). A record
    // whose name still holds the file is another name of it.
    qsizetype knownFile(const QString &path, const FileFacts &file, qsizetype owner) const
    {
        if (!file.identity)
            return -1;
        QList<qsizetype> candidates = m_index.ofIdentity(*file.identity);
        std::sort(candidates.begin(), candidates.end());
        for (const qsizetype i : std::as_const(candidates)) {
            const NotePaper &paper = record(i);
            if (i == owner || leaves(i) || !file.isFileOf(paper))
                continue;
            if (!paper.holdsItsName())
                return i;
            if (!notes::sameText(paper.path, path) && !isItsFile(paper.path, paper))
                return i;
        }
        return -1;
    }

    // A paper of the document `documentID` whose file is at none of its
    // names: found nowhere before, or holding a name where no file lies any
    // more while its file is not found in its folder either. A paper whose
    // own file is still about keeps it, so two copies of one paper keep
    // their own marks.
    qsizetype sameDocument(const QString &path, const std::optional<QString> &documentID, qsizetype owner) const
    {
        if (!documentID)
            return -1;
        QList<qsizetype> candidates = m_index.ofDocument(*documentID);
        std::sort(candidates.begin(), candidates.end());
        for (const qsizetype i : std::as_const(candidates)) {
            const NotePaper &paper = record(i);
            if (i == owner || leaves(i) || paper.documentID != documentID)
                continue;
            if (!paper.holdsItsName())
                return i;
            if (!notes::sameText(paper.path, path) && !QFileInfo::exists(paper.path) && locate(i).isEmpty())
                return i;
        }
        return -1;
    }

    // Whether a file lies at `file` once the steps planned so far are done.
    bool present(const QString &file) const
    {
        return m_arriving.contains(file) || (!m_leaving.contains(file) && QFileInfo::exists(file));
    }

    void step(const QString &from, const QString &to, qsizetype owner, AwayName kind, const QString &leftName)
    {
        // A file renamed within the folder keeps its numbers: those of the
        // file first planned to move are the ones a later step finds.
        const std::optional<QString> identity =
            m_arriving.contains(from) ? m_identities.value(from) : platform::fileIdentity(from);
        m_arriving.remove(from);
        m_leaving.insert(from);
        m_leaving.remove(to);
        m_arriving.insert(to);
        if (identity)
            m_identities.insert(to, *identity);
        m_steps.push_back({{from, to, identity}, owner, kind, leftName});
    }

    // Plans setting the file at `file` aside; where it goes.
    QString stepAside(const QString &file, const QString &label, qsizetype owner, AwayName kind,
                      const QString &leftName)
    {
        QString source;
        QString target = platform::asideTarget(file, label, &source);
        // Two set aside within one second under one name keep both.
        for (int n = 2; m_arriving.contains(target); ++n)
            target = platform::asideTarget(file, label, &source) + QLatin1Char('-') + QString::number(n);
        step(source, target, owner, kind, leftName);
        return target;
    }

    // A rename failed: its file stays where it was. Where that is a name
    // the paper left, the name's files are still its own (a later open
    // hands them over). True when a record changed.
    bool failed(const Step &planned)
    {
        m_failed.push_back(planned.rename);
        if (planned.record < 0 || planned.leftName.isEmpty())
            return false;
        NotePaper &paper = edit(planned.record);
        if (paper.away && *paper.away.*planned.kind == QFileInfo(planned.rename.to).fileName())
            *paper.away.*planned.kind = std::nullopt;
        if (!paper.leftBehind.contains(planned.leftName))
            paper.leftBehind.append(planned.leftName);
        return true;
    }

    // The records that name what moves. A paper never seen names nothing
    // yet: a reader killed before its record is written makes it anew.
    QList<NotePaper> records() const
    {
        QList<NotePaper> list;
        for (const auto &[at, paper] : m_changed)
            list.append(paper);
        return list;
    }
    QList<PlannedRename> renames() const
    {
        QList<PlannedRename> list;
        for (const Step &planned : m_steps)
            list.append(planned.rename);
        return list;
    }

    PaperAccount &m_account;
    notes::PaperNotesStore &m_store;
    // The library's list itself: read until the settling's records are
    // taken in, without a copy of every record ever made.
    const QList<NotePaper> &m_base;
    const notes::PaperIndex &m_index;
    std::map<qsizetype, NotePaper> m_changed;
    std::deque<NotePaper> m_added;
    std::vector<Move> m_moves;
    std::vector<Step> m_steps;
    std::vector<PlannedRename> m_failed;
    QSet<QString> m_leaving;
    QSet<QString> m_arriving;
    QHash<QString, QString> m_identities;
    QStringList m_pagesLeft;
    QHash<QString, int> m_pagesPlaced;
    QStringList m_historyForgotten;
    QHash<QString, QString> m_historyMoves;
};

PaperAccount::PaperAccount(notes::PaperNotesStore &papers, history::ReadingHistory &history,
                           platform::Preferences &defaults, QString annotationFolder)
    : m_papers(papers)
    , m_history(history)
    , m_defaults(defaults)
    , m_folder(std::move(annotationFolder))
{
}

void PaperAccount::setFileOperationProbe(std::function<void()> probe)
{
    fileOperationProbe() = std::move(probe);
}

QString PaperAccount::annotationFile(const QString &path) const
{
    return annotations::markupFilePath(m_folder, standardized(path));
}

QString PaperAccount::bookmarkFile(const QString &path) const
{
    return QDir(m_folder).filePath(platform::documentFileName(standardized(path)) + QStringLiteral("-bookmarks.json"));
}

PaperOpening PaperAccount::opening(const QString &filePath, const QByteArray &firstIdentifier,
                                   const std::optional<QUuid> &heldAs)
{
    const QString path = standardized(filePath);
    const std::optional<QString> documentID = documentIDText(firstIdentifier);
    // Another reader may have settled names meanwhile.
    m_papers.takeInChanges();
    Settlement settling(*this);
    const bool mayMove = mayChangeTheFolder() && !m_folder.isEmpty();
    if (!m_folder.isEmpty())
        settling.handOverLeftovers(path);
    const FileFacts file(path);
    const qsizetype owner = settling.holderOf(path);
    const qsizetype paper = m_folder.isEmpty() ? owner : settling.paperAt(path, file, documentID, owner);
    // What the paper was before it is given the name, to read its marks
    // where they lie should nothing move.
    const std::optional<NotePaper> before = paper >= 0 ? std::optional(settling.record(paper)) : std::nullopt;
    if (paper >= 0 && paper != owner)
        settling.leave(paper, path);
    settling.followTheChain(path);
    settling.plan();
    if (paper < 0)
        settling.forgetOtherReading(path, file);

    NotePaper fresh;
    if (heldAs)
        fresh.id = *heldAs;
    NotePaper &record = settling.edit(paper >= 0 ? paper : settling.add(fresh));
    notes::PaperNotesStore::describeFile(&record, filePath);
    if (documentID)
        record.documentID = documentID;

    PaperOpening result;
    result.id = record.id;
    if (settling.carryOut(mayMove) && settling.settledAt(path))
        return result;

    result.settled = false;
    if (!before) {
        return result; // a newcomer: it starts bare
    }
    if (before->holdsItsName()) {
        result.annotationsFrom = annotationFile(before->path);
        result.bookmarksFrom = bookmarkFile(before->path);
        result.readingFrom = before->path;
    } else {
        const QDir folder(m_folder);
        result.annotationsFrom = before->away->annotations ? folder.filePath(*before->away->annotations) : QString();
        result.bookmarksFrom = before->away->bookmarks ? folder.filePath(*before->away->bookmarks) : QString();
        result.page = before->away->page;
    }
    return result;
}

bool PaperAccount::relocating(const std::optional<QUuid> &recordID, const QString &fromPath, const QString &toPath,
                              QUuid *id)
{
    const QString from = standardized(fromPath);
    const QString to = standardized(toPath);
    m_papers.takeInChanges();
    Settlement settling(*this);
    settling.handOverLeftovers(to);
    qsizetype paper = recordID ? settling.indexOf(*recordID) : -1;
    if (paper < 0)
        paper = settling.holderOf(from);
    const qsizetype owner = settling.holderOf(to);
    if (owner >= 0 && owner != paper)
        settling.leave(owner, settling.locate(owner));
    if (paper < 0) {
        // A paper without a record: one is made where its files lie.
        NotePaper fresh;
        fresh.path = from;
        paper = settling.add(fresh);
    }
    // Whatever lies unclaimed under the new name is not the paper's: its
    // own files are under the old one.
    settling.leave(paper, to, false);
    settling.followTheChain(to);
    settling.plan();
    NotePaper &record = settling.edit(paper);
    notes::PaperNotesStore::describeFile(&record, toPath);
    *id = record.id;
    return !m_folder.isEmpty() && settling.carryOut(mayChangeTheFolder()) && settling.settledAt(to)
        && settling.settledAt(from);
}

void PaperAccount::wentAway(const QString &filePath)
{
    const QString path = standardized(filePath);
    m_papers.takeInChanges();
    Settlement settling(*this);
    const qsizetype paper = settling.holderOf(path);
    if (paper < 0 || m_folder.isEmpty()) {
        m_history.forgetPath(path);
        return;
    }
    settling.leave(paper, {});
    settling.plan();
    // Nothing moves when the account cannot be written: the marks stay
    // under the name, where the paper put back finds them.
    settling.carryOut(mayChangeTheFolder());
}

void PaperAccount::replaced(const QString &filePath, const QByteArray &firstIdentifier)
{
    const QString path = standardized(filePath);
    Settlement settling(*this);
    const qsizetype paper = settling.holderOf(path);
    if (paper >= 0) {
        NotePaper &record = settling.edit(paper);
        record.documentID = documentIDText(firstIdentifier);
        notes::PaperNotesStore::describeFile(&record, filePath);
        settling.carryOut(true);
    }
    m_history.repath({{path, path}});
}

} // namespace folvan::pane
