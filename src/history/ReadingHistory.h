#pragma once

#include "history/DocumentReadingState.h"
#include "history/RecentReading.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <vector>

namespace folvan::platform {
class Preferences;
}

namespace folvan::history {

// The persistent list of recently read papers, newest opening first, with
// each paper's viewing state. It loads "reading-history.json" once, keeps the
// list in memory and writes the whole file again a short time after each
// change, at once on flush(), and when the application quits.
//
// Papers are named by local file paths. Everything runs on the main thread.
class ReadingHistory : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<folvan::history::RecentReading> records READ records NOTIFY recordsChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

public:
    static constexpr int maximumRecords = 100;
    static constexpr int defaultSaveDelayMs = 300;
    // A failed save is tried again this many save delays later.
    static constexpr int retryDelayFactor = 10;

    // The store of the whole application, in the Folvan data folder, reading
    // the shared preferences. Created on first use, lives until exit (a new
    // one is made when the data folder moves, as it does between tests).
    static ReadingHistory &shared();

    // A store whose file lies in `directory` (the Folvan data folder when
    // empty), reading the legacy last-page key from `defaults` (the shared
    // preferences when null), saving `saveDelayMs` after the last change.
    explicit ReadingHistory(const QString &directory = {},
                            platform::Preferences *defaults = nullptr,
                            int saveDelayMs = defaultSaveDelayMs,
                            QObject *parent = nullptr);
    ~ReadingHistory() override;

    const QList<RecentReading> &records() const { return m_records; }
    // The last load or save failure; empty when there is none.
    QString error() const { return m_error; }
    // That the file could not be read at start (and, once set aside, the name
    // it was kept under), for the rest of the run: a save that clears
    // error() does not make the lost list any less lost. Empty when it read.
    QString loadProblem() const { return m_loadProblem; }
    // Where the history file lies; empty when there is no data folder.
    QString file() const { return m_file; }

    // Records that the paper at `path` was opened with `state`: its record
    // (or a new one) moves to the front with the new state and time.
    void opened(const QString &path, const DocumentReadingState &state);
    // Stores a new state for a recorded paper in place; does nothing for a
    // paper without record or when the state did not change.
    void update(const QString &path, const DocumentReadingState &state);
    // The state to restore for the paper at `path`, normalized for pageCount.
    // A paper without record starts at its legacy "lastPage_" page.
    DocumentReadingState state(const QString &path, qint64 pageCount, bool defaultBook) const;
    // The recorded paper at `oldPath` now lives at `newPath`.
    void relocate(const QString &oldPath, const QString &newPath);
    // The records stored under the old paths of `moves` (old path to new,
    // all standardized) take their new paths at once, with the identity of
    // the files there: how papers that traded or left names are followed,
    // whatever file now lies at an old path. Nothing else of them changes.
    void repath(const QHash<QString, QString> &moves);
    // The record stored under `path`, as stored, without changing anything.
    std::optional<RecentReading> recordAt(const QString &path) const;
    // Removes the records stored under `path` (a paper found nowhere) and
    // writes at once; the state of the first of them, when there was one.
    std::optional<DocumentReadingState> forgetPath(const QString &path);
    // Removes the record with this id, and writes at once.
    void forget(const QUuid &id);
    // Removes every record, and writes at once.
    void clear();
    // A path at which the record's paper can be read now; empty when none.
    QString resolve(const RecentReading &record) const;
    // The other paths under which records knew the file at `path` (a
    // standardized path): those of the records whose file it is, and whose
    // own path no longer holds it (another name of it keeps its own files).
    std::vector<QString> formerPaths(const QString &path) const;
    // Writes the file now when a change has not been written yet. What
    // another reader wrote to the file since this store last read or wrote
    // it is merged in first (records() then holds it too).
    void flush();

signals:
    void recordsChanged();
    void errorChanged();
    void loadProblemChanged();

private:
    void load();
    void setRecords(QList<RecentReading> records);
    void setError(const QString &error);
    void saveSoon();
    // One try at writing `records`: merged with what another reader wrote
    // meanwhile, which replaces `records`, when the file changed.
    platform::StoredWrite writeOnce(QList<RecentReading> *records, QString *problem);
    qsizetype index(const QString &path) const;
    QString locate(const RecentReading &record, bool searchFolder) const;

    QList<RecentReading> m_records;
    QString m_error;
    QString m_loadProblem;
    QString m_folder;
    QString m_file;
    platform::Preferences *m_defaults = nullptr; // null: the shared preferences
    int m_saveDelayMs;
    platform::MainWorkItem m_pending;
    bool m_dirty = false;
    // The file on disk could not be read at start: it is set aside before
    // the first write so that it is never lost.
    bool m_keepUnreadableFile = false;
    // The file as this store last read or wrote it, and the list it held.
    platform::StoredFileVersion m_seen;
    QList<RecentReading> m_base;
};

} // namespace folvan::history
