#include "notes/PaperNotesStore.h"

#include "notes/NotesViewModel.h"
#include "notes/NoteText.h"
#include "notes/PaperNotesFile.h"
#include "platform/FileIdentity.h"
#include "platform/NotificationCenter.h"
#include "platform/UnsavedChanges.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/DataFolderAccess.h"
#include "platform/StoredFiles.h"
#include "platform/StoredMerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>

#include <future>

namespace folvan::notes {

const QString PaperNotesStore::kFileName = QStringLiteral("paper-notes-v1.json");

namespace {

const QString kLoadFailed = QStringLiteral("无法读取笔记库，原文件已保留：");
const QString kSaveFailed = QStringLiteral("笔记尚未保存：");
const QString kUnsavedNotes = QStringLiteral("笔记");

// The later of a note's edit and its deletion.
QDateTime lastTouched(const PaperNote &note)
{
    return note.deletedAt && *note.deletedAt > note.updatedAt ? *note.deletedAt : note.updatedAt;
}

// The library as this store holds it (`mine`) merged with the one another
// reader wrote (`theirs`), both changed since `base`. A note both changed
// keeps the later change; a paper both refreshed keeps this store's view
// of its file.
PaperNotesFile merged(const PaperNotesFile &base, const PaperNotesFile &mine,
                             const PaperNotesFile &theirs)
{
    PaperNotesFile file;
    file.notes = platform::mergeRecords(
        base.notes, mine.notes, theirs.notes, [](const PaperNote &note) { return note.id; },
        [](const PaperNote &ours, const PaperNote &other) {
            return lastTouched(other) > lastTouched(ours) ? other : ours;
        });
    // Of a paper both refreshed, the view whose path still leads to its
    // file is the later one (the other reader renamed or moved it);
    // otherwise this store's.
    file.papers = platform::mergeRecords(
        base.papers, mine.papers, theirs.papers, [](const NotePaper &paper) { return paper.id; },
        [](const NotePaper &ours, const NotePaper &other) {
            const auto leadsToItsFile = [](const NotePaper &paper) {
                return paper.fileFingerprint && platform::isRecordedFile(paper.path, paper.fileIdentity, paper.fileFingerprint);
            };
            return !sameText(ours.path, other.path) && !leadsToItsFile(ours) && leadsToItsFile(other) ? other : ours;
        });
    file.legacyImported = mine.legacyImported || theirs.legacyImported;
    return file;
}

// Joins the records that `file` holds of one paper file into one: records
// with the same path (up to canonical equivalence), or with the same file
// numbers and fingerprint where one was written under the file's former
// name (two names that both hold the file stay apart). Registration would only ever find the first of them,
// leaving the notes of the others apart for good. A record with an
// identifier in `preferred` (what the file on disk holds, which other
// readers know) is kept before one without, otherwise the first. The notes
// of a dropped record follow the kept one. Gives the kept identifier for
// each dropped one.
QHash<QUuid, QUuid> joinRecordsOfOneFile(PaperNotesFile *file, const QSet<QUuid> &preferred = {})
{
    QList<NotePaper> &papers = file->papers;
    QHash<QString, qsizetype> byPath;
    QHash<QString, qsizetype> byFile;
    QList<qsizetype> groupOf;
    QList<qsizetype> firstOf; // the first record of each group
    groupOf.reserve(papers.size());
    qsizetype groups = 0;
    const auto holdsTheFile = [](const NotePaper &paper) {
        return platform::isRecordedFile(paper.path, paper.fileIdentity, paper.fileFingerprint);
    };
    for (const NotePaper &paper : std::as_const(papers)) {
        // A paper found nowhere shares nothing with the file now at its
        // former name.
        if (!paper.holdsItsName()) {
            firstOf.append(groupOf.size());
            groupOf.append(groups++);
            continue;
        }
        const QString pathKey = PaperIndex::nameKey(paper.path);
        const QString fileKey = paper.fileIdentity && paper.fileFingerprint
                                    ? *paper.fileIdentity + QLatin1Char('\n') + *paper.fileFingerprint
                                    : QString();
        qsizetype group = pathKey.isEmpty() ? -1 : byPath.value(pathKey, -1);
        if (group < 0 && !fileKey.isEmpty()) {
            group = byFile.value(fileKey, -1);
            // Two names that both still hold the file (a hard link, a bind
            // mount) keep their records, and their marks, apart.
            if (group >= 0 && holdsTheFile(paper) && holdsTheFile(papers[firstOf[group]]))
                group = -1;
        }
        if (group < 0) {
            group = groups++;
            firstOf.append(groupOf.size());
        }
        groupOf.append(group);
        if (!pathKey.isEmpty())
            byPath.insert(pathKey, group);
        if (!fileKey.isEmpty())
            byFile.insert(fileKey, group);
    }
    if (groups == papers.size())
        return {};

    QList<qsizetype> kept(groups, -1);
    for (qsizetype i = 0; i < papers.size(); ++i) {
        qsizetype &first = kept[groupOf[i]];
        if (first < 0 || (!preferred.contains(papers[first].id) && preferred.contains(papers[i].id)))
            first = i;
    }
    QHash<QUuid, QUuid> keptFor;
    QList<NotePaper> joined;
    for (qsizetype i = 0; i < papers.size(); ++i) {
        if (kept[groupOf[i]] == i)
            joined.append(papers[i]);
        else
            keptFor.insert(papers[i].id, papers[kept[groupOf[i]]].id);
    }
    papers = std::move(joined);
    for (PaperNote &note : file->notes) {
        if (note.paperID && keptFor.contains(*note.paperID))
            note.paperID = keptFor.value(*note.paperID);
    }
    return keptFor;
}

// This store's library (`file`) merged with `theirs`, the one another reader
// wrote, both changed since `base`. The other reader may have registered a
// paper this store did too: its record stays, as that reader knows it. The
// records joined so.
QHash<QUuid, QUuid> mergeIn(PaperNotesFile *file, const PaperNotesFile &base, const PaperNotesFile &theirs)
{
    *file = merged(base, *file, theirs);
    QSet<QUuid> known;
    for (const NotePaper &paper : theirs.papers)
        known.insert(paper.id);
    return joinRecordsOfOneFile(file, known);
}

} // namespace

PaperNotesStore::PaperNotesStore(const QString &filePath, const platform::Preferences &defaults,
                                 double saveDelaySeconds, QObject *parent)
    : QObject(parent)
    , m_file(filePath)
    , m_pending(new platform::MainWorkItem(this))
    , m_saveDelay(saveDelaySeconds)
    , m_journalName(QFileInfo(filePath).fileName() + QStringLiteral(".settling-")
                    + QUuid::createUuid().toString(QUuid::Id128).left(12))
{
    m_legacyPad = legacyPad(defaults);
    // A reader that was read-only writes what it holds once it may, after
    // what a killed reader left unfinished.
    connect(&platform::DataFolderAccess::shared(), &platform::DataFolderAccess::readOnlyChanged, this, [this] {
        ensureLoaded();
        if (!platform::DataFolderAccess::shared().readOnly()) {
            finishInterruptedSettlings();
            flush();
        }
    });
}

void PaperNotesStore::ensureLoaded() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    auto *self = const_cast<PaperNotesStore *>(this);
    self->load();
    if (!platform::DataFolderAccess::shared().readOnly())
        self->finishInterruptedSettlings();
    if (m_writable && !m_legacyImported)
        self->importLegacyPad();
}

PaperNotesStore::~PaperNotesStore()
{
    m_pending->cancel();
}

PaperNotesStore &PaperNotesStore::shared()
{
    // The data folder is fixed for the life of the application; tests point
    // it elsewhere between cases and then get a store of their own. A store
    // handed out earlier stays alive, since someone may still hold it.
    static PaperNotesStore *store = nullptr;
    if (!store || store->filePath() != defaultFilePath())
        store = new PaperNotesStore(defaultFilePath(), platform::Preferences::shared());
    return *store;
}

QString PaperNotesStore::defaultFilePath()
{
    return platform::folvanDataPath(QStringLiteral("Notes/") + kFileName);
}

void PaperNotesStore::setPapers(const QList<NotePaper> &papers)
{
    ensureLoaded();
    ++m_changes;
    m_papers = papers;
    m_indexStale = true;
    emit papersChanged();
}

const PaperIndex &PaperNotesStore::paperIndex() const
{
    ensureLoaded();
    if (m_indexStale) {
        m_index.rebuild(m_papers);
        m_indexStale = false;
    }
    return m_index;
}

void PaperNotesStore::updatePapers(const QList<NotePaper> &changed, const QList<NotePaper> &added)
{
    ensureLoaded();
    if (changed.isEmpty() && added.isEmpty())
        return;
    ++m_changes;
    const PaperIndex &index = paperIndex();
    for (const NotePaper &record : changed) {
        const qsizetype at = index.position(record.id);
        if (at < 0) {
            m_index.append(m_papers.size(), record);
            m_papers.append(record);
        } else if (!(m_papers[at] == record)) {
            m_index.replace(at, m_papers[at], record);
            m_papers[at] = record;
        }
    }
    for (const NotePaper &record : added) {
        m_index.append(m_papers.size(), record);
        m_papers.append(record);
    }
    emit papersChanged();
    if (keepsPaperRecords())
        schedule();
}

QString PaperNotesStore::journalPath() const
{
    return QFileInfo(m_file).absoluteDir().filePath(m_journalName);
}

bool PaperNotesStore::writeAhead(const QList<NotePaper> &records, const QList<PlannedRename> &renames, QString *error)
{
    ensureLoaded();
    if (!keepsPaperRecords() || platform::DataFolderAccess::shared().holdsBack(m_file)) {
        if (error)
            *error = m_writable ? platform::DataFolderAccess::heldBackText() : m_error;
        return false;
    }
    SettlingJournal journal = m_journal;
    journal.add(records, renames);
    if (!platform::writeFileAtomically(journalPath(), encodeSettlingJournal(journal), error))
        return false;
    m_journal = std::move(journal);
    return true;
}

void PaperNotesStore::finishInterruptedSettlings()
{
    if (!keepsPaperRecords())
        return;
    const QDir folder = QFileInfo(m_file).absoluteDir();
    const QStringList names = folder.entryList({QFileInfo(m_file).fileName() + QStringLiteral(".settling-*")},
                                               QDir::Files | QDir::Hidden, QDir::Name);
    QStringList finished;
    SettlingJournal taken; // the records of every journal, the later ones last
    for (const QString &name : names) {
        if (name == m_journalName)
            continue;
        QByteArray bytes;
        if (platform::readStoredFile(folder.filePath(name), &bytes) != platform::StoredRead::Read)
            continue;
        const std::optional<SettlingJournal> journal = decodeSettlingJournal(bytes);
        if (!journal) {
            // Kept, and never read again as a journal.
            platform::moveAsideUnreadable(folder.filePath(name));
            continue;
        }
        finishRenames(*journal);
        taken.add(journal->papers, {});
        finished << folder.filePath(name);
    }
    if (finished.isEmpty())
        return;
    // Taken in as this store's own settling: its journal names them until
    // the library holding them is written.
    if (!writeAhead(taken.papers, {}))
        return;
    updatePapers(taken.papers);
    flush();
    for (const QString &journal : std::as_const(finished))
        QFile::remove(journal);
}

void PaperNotesStore::setNotes(const QList<PaperNote> &notes)
{
    ensureLoaded();
    ++m_changes;
    m_notes = notes;
    emit notesChanged();
}

void PaperNotesStore::setError(const QString &error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged();
}

// A file that exists but cannot be read is left as it is: the store stays
// empty and never writes for the rest of its life, so that nothing the user
// wrote earlier is lost to an overwrite.
namespace {

// The library as read from its file, off the main thread or on it.
struct ReadLibrary {
    platform::StoredRead read = platform::StoredRead::Absent;
    platform::StoredFileVersion version;
    QString failure;
    std::optional<PaperNotesFile> stored; // as the file holds it
    // A library that holds one file twice is mended as it is read, and
    // written so once the store writes.
    PaperNotesFile mended;
    QHash<QUuid, QUuid> joined;
    PaperIndex index; // of mended.papers
};

ReadLibrary readLibrary(const QString &path)
{
    ReadLibrary library;
    QByteArray data;
    library.read = platform::readStoredFile(path, &data, &library.failure, &library.version);
    if (library.read == platform::StoredRead::Read)
        library.stored = decodePaperNotesFile(data, QFileInfo(path).fileName(), &library.failure);
    if (library.stored) {
        library.mended = *library.stored;
        library.index.rebuild(library.mended.papers);
        if (library.index.mayHoldOneFileTwice(library.mended.papers)) {
            library.joined = joinRecordsOfOneFile(&library.mended);
            if (!library.joined.isEmpty())
                library.index.rebuild(library.mended.papers);
        }
    }
    return library;
}

struct ReadAhead {
    QString path;
    std::future<ReadLibrary> library;
};

std::optional<ReadAhead> &pendingReadAhead()
{
    static std::optional<ReadAhead> pending;
    return pending;
}

} // namespace

void PaperNotesStore::readAhead()
{
    const QString path = defaultFilePath();
    if (!path.isEmpty())
        pendingReadAhead() = ReadAhead{path, std::async(std::launch::async, readLibrary, path)};
}

void PaperNotesStore::load()
{
    ReadLibrary library;
    std::optional<ReadAhead> &ahead = pendingReadAhead();
    if (ahead && ahead->path == m_file) {
        library = ahead->library.get();
        ahead.reset();
    } else {
        library = readLibrary(m_file);
    }
    m_seen = library.version;
    if (library.read == platform::StoredRead::Absent)
        return;
    if (!library.stored) {
        m_writable = false;
        setError(kLoadFailed + library.failure);
        return;
    }
    m_base = std::move(*library.stored);
    setPapers(library.mended.papers);
    m_index = std::move(library.index);
    m_indexStale = false;
    setNotes(library.mended.notes);
    m_legacyImported = library.mended.legacyImported;
    if (!library.joined.isEmpty()) {
        schedule();
        platform::NotificationCenter::shared().post(PaperRecordsJoined{library.joined});
    }
}

// Each non-empty slot of the older notes pad becomes a note without a paper.
// The pad's keys stay as they are.
QList<PaperNote> PaperNotesStore::legacyPad(const platform::Preferences &defaults)
{
    const auto storedString = [&defaults](const QString &key) -> std::optional<QString> {
        const QVariant value = defaults.value(key);
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    };
    QList<PaperNote> imported;
    for (int slot = 0; slot < 4; ++slot) {
        const QString text = storedString(NotesViewModel::textKey(slot)).value_or(QString());
        if (text.trimmed().isEmpty())
            continue;
        PaperNote note;
        note.title = storedString(NotesViewModel::labelKey(slot))
                         .value_or(slot == 0 ? QStringLiteral("笔记")
                                             : QStringLiteral("笔记 ") + QString::number(slot + 1));
        note.body = text;
        imported.append(note);
    }
    return imported;
}

void PaperNotesStore::importLegacyPad()
{
    if (!m_legacyPad.isEmpty())
        setNotes(m_notes + m_legacyPad);
    m_legacyPad.clear();
    m_legacyImported = true;
    m_dirty = true;
    flush();
}

void PaperNotesStore::schedule()
{
    ensureLoaded();
    // A library that could not be read is never written over: what is
    // typed now lives in memory only, and the quit alert names it.
    if (!m_writable) {
        platform::noteUnsaved(m_file, kUnsavedNotes);
        return;
    }
    m_dirty = true;
    ++m_changes;
    m_pending->schedule(m_saveDelay, [this] { writeInBackground(); });
}

void PaperNotesStore::writeInBackground()
{
    if (!m_dirty || !m_writable || m_file.isEmpty())
        return;
    // The library is made into bytes off the main thread (a long reading
    // life makes it megabytes), then written here, unless it changed
    // meanwhile: the newer change is written in its turn.
    PaperNotesFile file;
    file.papers = m_papers;
    file.notes = m_notes;
    file.legacyImported = m_legacyImported;
    const quint64 changes = m_changes;
    platform::runConcurrently([store = QPointer<PaperNotesStore>(this), file = std::move(file), changes] {
        QByteArray bytes;
        if (!encodePaperNotesFile(file, &bytes, nullptr))
            bytes.clear();
        platform::runOnMain([store, bytes = std::move(bytes), changes] {
            if (store && store->m_dirty && store->m_changes == changes)
                store->write(bytes.isEmpty() ? std::nullopt : std::optional<QByteArray>(bytes));
        });
    });
}

void PaperNotesStore::flush()
{
    ensureLoaded();
    write(std::nullopt);
}

void PaperNotesStore::write(const std::optional<QByteArray> &encoded)
{
    m_pending->cancel();
    if (!m_dirty || !m_writable)
        return;
    QString failure;
    QString notice;
    PaperNotesFile file;
    file.papers = m_papers;
    file.notes = m_notes;
    file.legacyImported = m_legacyImported;
    bool written = false;
    bool mergedIn = false;
    QHash<QUuid, QUuid> joined;
    if (m_file.isEmpty()) {
        failure = QStringLiteral("找不到用于保存数据的文件夹。");
    } else if (platform::ensureFolder(QFileInfo(m_file).absolutePath(), &failure)) {
        // Another reader may write between two tries: a few rounds, then
        // the save counts as failed and is retried later.
        for (int round = 0; round < 4 && !written; ++round) {
            QByteArray bytes;
            QByteArray current;
            if (round == 0 && encoded)
                bytes = *encoded;
            else if (!encodePaperNotesFile(file, &bytes, &failure))
                break;
            const platform::StoredWrite result = platform::writeStoredFile(m_file, &m_seen, bytes, &current, &failure);
            if (result == platform::StoredWrite::Failed)
                break;
            if (result == platform::StoredWrite::Written) {
                written = true;
                break;
            }
            PaperNotesFile theirs;
            if (!takeInWrittenElsewhere(current, &theirs, &notice, &failure))
                break;
            for (const auto &[dropped, kept] : mergeIn(&file, m_base, theirs).asKeyValueRange()) {
                for (QUuid &earlier : joined)
                    if (earlier == dropped)
                        earlier = kept;
                joined.insert(dropped, kept);
            }
            m_base = theirs;
            mergedIn = true;
            failure = QStringLiteral("另一个 Folvan 一再改写笔记库。");
        }
    }
    // What another reader wrote is held from now on, written or not: a
    // later merge counts from it.
    if (written || mergedIn)
        hold(file, joined);
    if (written) {
        m_base = file;
        m_dirty = false;
        setError(notice);
        platform::noteSaved(m_file);
        // Every record a settling wrote ahead is in the library now.
        if (!m_journal.isEmpty()) {
            QFile::remove(journalPath());
            m_journal = {};
        }
        return;
    }
    // Held back while another reader holds the data folder: the window
    // says so once, for every store.
    if (!platform::DataFolderAccess::shared().holdsBack(m_file))
        setError(kSaveFailed + failure);
    platform::noteUnsaved(m_file.isEmpty() ? kFileName : m_file, kUnsavedNotes);
    // Tried again by the next change, at quit, and after a while, so that a
    // folder made writable again gets the change with no more writing.
    m_pending->schedule(m_saveDelay * kRetryDelayFactor, [this] { flush(); });
}

void PaperNotesStore::takeInChanges()
{
    ensureLoaded();
    // Most of the time nothing changed: the file is not read then.
    if (!m_writable || m_file.isEmpty() || platform::storedFileVersion(m_file) == m_seen)
        return;
    QByteArray bytes;
    platform::StoredFileVersion version;
    if (platform::readStoredFile(m_file, &bytes, nullptr, &version) != platform::StoredRead::Read || version == m_seen)
        return;
    QString problem;
    const std::optional<PaperNotesFile> theirs = decodePaperNotesFile(bytes, QFileInfo(m_file).fileName(), &problem);
    if (!theirs)
        return; // left to the next write, which sets it aside and says so
    PaperNotesFile file;
    file.papers = m_papers;
    file.notes = m_notes;
    file.legacyImported = m_legacyImported;
    const QHash<QUuid, QUuid> joined = mergeIn(&file, m_base, *theirs);
    m_base = *theirs;
    m_seen = version;
    hold(file, joined);
}

void PaperNotesStore::joinPaper(const QUuid &dropped, const QUuid &kept)
{
    ensureLoaded();
    if (dropped == kept || paperIndex().position(dropped) >= 0)
        return;
    QList<PaperNote> notes = m_notes;
    bool moved = false;
    for (PaperNote &note : notes) {
        if (note.paperID == dropped) {
            note.paperID = kept;
            moved = true;
        }
    }
    if (moved) {
        setNotes(notes);
        schedule();
    }
    platform::NotificationCenter::shared().post(PaperRecordsJoined{{{dropped, kept}}});
}

void PaperNotesStore::hold(const PaperNotesFile &file, const QHash<QUuid, QUuid> &joined)
{
    if (file.papers != m_papers)
        setPapers(file.papers);
    if (file.notes != m_notes)
        setNotes(file.notes);
    m_legacyImported = file.legacyImported;
    if (!joined.isEmpty())
        platform::NotificationCenter::shared().post(PaperRecordsJoined{joined});
}

bool PaperNotesStore::takeInWrittenElsewhere(const QByteArray &bytes, PaperNotesFile *file,
                                             QString *notice, QString *failure)
{
    QString problem = QStringLiteral("文件是空的，或不是普通文件");
    if (!bytes.isEmpty()) {
        if (std::optional<PaperNotesFile> read =
                decodePaperNotesFile(bytes, QFileInfo(m_file).fileName(), &problem)) {
            *file = std::move(*read);
            return true;
        }
    }
    // Left unreadable by someone else since this store read it: kept aside
    // and named, and this store's library written in its place.
    QString movedTo;
    if (!platform::moveAsideUnreadable(m_file, failure, &movedTo))
        return false;
    // Nothing of what this store read earlier is in the file any more:
    // everything it holds is written, not only what it changed.
    m_seen = {};
    m_base = {};
    *file = {};
    *notice = QStringLiteral("笔记库文件被改得无法读取（%1），原文件已保留为 %2；笔记已重新保存。")
                  .arg(problem, QFileInfo(movedTo).fileName());
    return true;
}

} // namespace folvan::notes
