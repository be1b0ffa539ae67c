#pragma once

// The paper notes library of the whole application: the notes and the papers
// they refer to, loaded once from paper-notes-v1.json and written back whole,
// 0.35 s after the last change or at once on flush(). Main thread only.

#include "notes/PaperIndex.h"
#include "notes/PaperNote.h"
#include "notes/PaperNotesFile.h"
#include "notes/SettlingJournal.h"
#include "platform/StoredFiles.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace folvan::platform {
class MainWorkItem;
class Preferences;
}

namespace folvan::notes {

// Posted when the library held more than one record of one paper file
// (another reader registered the file too, or the file was read so) and
// they were joined into one: for each identifier given up, the one kept in
// its place. The notes of a dropped record already follow the kept one;
// whatever else is named after a dropped identifier follows it too.
struct PaperRecordsJoined {
    QHash<QUuid, QUuid> keptFor;
    static QString name() { return QStringLiteral("Folvan.paperRecordsJoined"); }
};

class PaperNotesStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<folvan::notes::NotePaper> papers READ papers WRITE setPapers NOTIFY papersChanged)
    Q_PROPERTY(QList<folvan::notes::PaperNote> notes READ notes WRITE setNotes NOTIFY notesChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool canUndoDelete READ canUndoDelete NOTIFY notesChanged)

public:
    static constexpr double kSaveDelaySeconds = 0.35;
    // A failed save is tried again this many save delays later.
    static constexpr int kRetryDelayFactor = 10;
    static const QString kFileName;   // "paper-notes-v1.json"

    // A store on the library file at `filePath`: loads it (as it is first
    // used), takes over the older notes pad from `defaults` once in the
    // library's life, and saves
    // `saveDelaySeconds` after the last change. An empty path means there is
    // nowhere to save: the store works in memory and reports each save as
    // failed. `defaults` is read only during construction.
    PaperNotesStore(const QString &filePath, const platform::Preferences &defaults,
                    double saveDelaySeconds = kSaveDelaySeconds, QObject *parent = nullptr);
    // Cancels a pending save without writing.
    ~PaperNotesStore() override;

    // The store of the application, on the default file and the shared
    // preferences; made on first use, kept until the process ends (a new one
    // is made when the data folder moves, as it does between tests).
    static PaperNotesStore &shared();
    // Folvan/Notes/paper-notes-v1.json in the data folder; empty when the
    // platform has no data folder.
    static QString defaultFilePath();
    // Starts reading the default file off the main thread, as the program
    // starts: the store made on it later takes what was read (waiting for
    // it if need be) instead of reading it on the main thread.
    static void readAhead();

    QString filePath() const { return m_file; }

    // The published lists. Whoever changes them through the setters calls
    // schedule() afterwards, as the store's own operations do.
    QList<NotePaper> papers() const
    {
        ensureLoaded();
        return m_papers;
    }
    void setPapers(const QList<NotePaper> &papers);
    // The list papers() gives, without a copy: it changes with the store.
    const QList<NotePaper> &paperRecords() const
    {
        ensureLoaded();
        return m_papers;
    }
    // The paper records by name, file numbers and /ID (PaperIndex.h), as
    // papers() holds them now.
    const PaperIndex &paperIndex() const;
    // Replaces the records of the same identifiers as `changed` and appends
    // `added`, as one change, and schedules the write (when the library
    // keeps records).
    void updatePapers(const QList<NotePaper> &changed, const QList<NotePaper> &added = {});
    // Before a settling of names moves side files: writes the records as
    // they will be and the renames beside the library (SettlingJournal.h),
    // until the library holding them is written. False, with the error,
    // when that cannot be done (or the library keeps no records, or
    // another reader holds the data folder): nothing may move then.
    bool writeAhead(const QList<NotePaper> &records, const QList<PlannedRename> &renames, QString *error = nullptr);
    QList<PaperNote> notes() const
    {
        ensureLoaded();
        return m_notes;
    }
    void setNotes(const QList<PaperNote> &notes);

    // The last load or save failure; empty when there is none.
    QString error() const
    {
        ensureLoaded();
        return m_error;
    }
    bool hasError() const { return !error().isEmpty(); }

    // Marks the library changed and (re)starts the deferred save. Once the
    // file failed to load nothing is written; the change is only noted as
    // unsaved, for the quit alert.
    void schedule();
    // Cancels the deferred save and writes the file now when there are
    // unsaved changes. A failure is reported in error() and retried by the
    // next save. What another reader wrote to the file since this store
    // last read or wrote it is merged in first (the published lists then
    // hold it too); a file left unreadable is set aside and named.
    void flush();
    // Reads the library again when another reader wrote it since this store
    // last read or wrote it, and merges it in as flush() would, without
    // writing: a read-only reader learns where papers went.
    void takeInChanges();

    // Papers (registration and resolution).

    // The identifier of the paper record of the file at `path`, found by
    // its path or, after a rename or move, by its file identity (only when
    // no file is left at the record's own path: a second name of one file
    // gets a record of its own); a new record when none matches. The
    // record's path, title and identity follow the file.
    QUuid registerPaper(const QString &path);
    // `record` takes the file at `path`: its path, title, file numbers and
    // fingerprint.
    static void describeFile(NotePaper *record, const QString &path);
    // The paper recorded under `from` was renamed or moved to `to` while
    // another file took its old name: its record follows it when the file
    // at `to` is the one recorded (by identity and fingerprint) and the one
    // at `from` is not. registerPaper cannot tell this by itself, since a
    // record whose path names another file keeps to its path.
    void paperMoved(const QString &from, const QString &to);
    // Whether the identifiers registerPaper gives last beyond this run:
    // false while the library file could not be read, or there is none, so
    // that nothing else is named after a record no file will hold.
    bool keepsPaperRecords() const
    {
        ensureLoaded();
        return m_writable && !m_file.isEmpty();
    }
    // A paper was known here as `dropped` (an identifier no record keeps)
    // while it is `kept`: its notes, and whatever else is named after it
    // (PaperRecordsJoined), follow the kept one.
    void joinPaper(const QUuid &dropped, const QUuid &kept);
    // A readable file of the paper record, or nothing.
    std::optional<QString> resolve(const std::optional<QUuid> &paperID) const;

    // Notes.

    std::optional<NotePaper> paper(const std::optional<QUuid> &id) const;
    // The live note with this identifier; a trashed note is not returned.
    std::optional<PaperNote> note(const std::optional<QUuid> &id) const;
    // Edits a live note; an absent string is left as it is. Stamps the
    // edit time even when nothing else changes.
    void update(const QUuid &id, const std::optional<QString> &title, const std::optional<QString> &body);
    // Moves the note to the trash (again, with a new time, when it is there).
    void trash(const QUuid &id);
    bool canUndoDelete() const;
    // Takes the most recently trashed note out of the trash.
    void undoDelete();
    // Links the note to a paper record and a page; quoted passages taken
    // from another paper are dropped.
    void associate(const QUuid &noteID, const QUuid &paperID, std::optional<std::int64_t> page);
    // The live notes that hold every whitespace-separated word of `query`
    // (ignoring case and accents) in their title, body, quotes or paper
    // title; only those of `paperID` when `currentOnly`. Most recent edit
    // first.
    QList<PaperNote> search(const QString &query, const std::optional<QUuid> &paperID,
                            bool currentOnly) const;

    // The note as a Markdown document.
    QString markdown(const PaperNote &note) const;

signals:
    void papersChanged();
    void notesChanged();
    void errorChanged();

private:
    // The library is read on first use, not when the store is made: the
    // window is made meanwhile (readAhead).
    void ensureLoaded() const;
    void load();
    // The write of a scheduled save: the bytes made off the main thread.
    void writeInBackground();
    // Writes the library: `encoded`, made from it as it is now, or made here.
    void write(const std::optional<QByteArray> &encoded);
    // The older notes pad's slots as notes, read as the store is made, and
    // taken into the library once, the first time it is read.
    static QList<PaperNote> legacyPad(const platform::Preferences &defaults);
    void importLegacyPad();
    void setError(const QString &error);
    // Takes in the library another reader wrote (`bytes`); false when it
    // does not read and was set aside (`notice` names where), or could not
    // be (`failure`).
    bool takeInWrittenElsewhere(const QByteArray &bytes, PaperNotesFile *file, QString *notice,
                                QString *failure);
    qsizetype noteIndex(const QUuid &id, bool liveOnly) const;
    // Publishes the library `file` as this store's, and the records joined
    // on the way.
    void hold(const PaperNotesFile &file, const QHash<QUuid, QUuid> &joined);
    // Finishes what a settling of names began in a reader killed before
    // its library was written: the journals beside the library.
    void finishInterruptedSettlings();
    QString journalPath() const;

    QList<NotePaper> m_papers;
    // Built again on first use after the list was replaced.
    mutable PaperIndex m_index;
    mutable bool m_indexStale = true;
    QList<PaperNote> m_notes;
    QString m_error;
    QString m_file;
    bool m_legacyImported = false;
    QList<PaperNote> m_legacyPad;
    mutable bool m_loaded = false;
    bool m_writable = true;
    platform::MainWorkItem *m_pending;
    bool m_dirty = false;
    // Counts the changes of the lists: a write made from an older state is
    // not written.
    quint64 m_changes = 0;
    double m_saveDelay;
    // The file as this store last read or wrote it, and what it held then.
    platform::StoredFileVersion m_seen;
    PaperNotesFile m_base;
    // This store's journal while records it names are not written yet.
    QString m_journalName;
    SettlingJournal m_journal;
};

} // namespace folvan::notes
