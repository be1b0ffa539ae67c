#pragma once

#include <QObject>
#include <QString>

namespace folvan::platform {

// One reader writes a data folder at a time. The reader that starts first
// holds the lock file in the folder for its whole life (the system lets go
// of it when the process ends, however it ends, so a reader that was killed
// never blocks the next). A reader that finds the lock held and could not
// hand its files to the holder runs read-only: every store's write into the
// folder is held back (writeStoredFile fails with heldBackText()) and the
// stores keep what changes in memory, until it takes the lock over (the
// other reader quit) or quits itself; then the stores write, merged with
// what the other reader wrote meanwhile. Main thread only.
class DataFolderAccess : public QObject {
    Q_OBJECT
public:
    static DataFolderAccess &shared();
    ~DataFolderAccess() override;

    static QString lockFileName(); // "Folvan.lock"
    // What a held-back write reports.
    static QString heldBackText();

    enum class Claim {
        Taken,         // this reader writes the folder
        HeldElsewhere, // another reader does: this one is read-only
        NoLock,        // no lock can be made there (no folder, a read-only
                       // disk): nothing is held back, as without the lock
    };
    // Takes the lock of `folder` (made when missing) for the life of the
    // process, or, when another reader holds it, turns read-only.
    Claim claim(const QString &folder);
    // Read-only: tries to take the lock over; true when this reader now
    // writes (readOnly() has changed).
    bool retry();
    // Another reader holds the folder and this one's writes are held back.
    bool readOnly() const { return m_heldElsewhere && m_holdingBack; }
    // This reader quits while the other still holds the folder: its writes
    // go through from now on, merged with the other's (false), or are held
    // back again (true: the quit was cancelled).
    void holdWritesBack(bool hold);
    // Whether a write to `path` is held back now.
    bool holdsBack(const QString &path) const;
    // Lets go of the lock (tests; the system does it at exit).
    void release();

signals:
    void readOnlyChanged();

private:
    DataFolderAccess() = default;
    void setHeldElsewhere(bool held);
    // Sets one of the two flags, telling when readOnly() changes.
    void setFlag(bool *flag, bool value);

    QString m_folder;
    int m_fd = -1;
    bool m_heldElsewhere = false;
    bool m_holdingBack = true;
};

} // namespace folvan::platform
