#pragma once

#include <QByteArray>
#include <QString>

namespace folvan::platform {

// Writes `data` to `path` through a temporary file in the same folder and a
// rename, so that `path` holds either its old or its new content, never a
// partial one. Creates the folder when missing. Error texts are the
// system's own.
// The data reaches the disk before the rename, the rename before the call
// returns.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr);

// How a stored file was when a store last read or wrote it: enough to tell,
// before the store writes it whole again, whether someone else (another
// reader on the same data folder, a sync tool, an editor) wrote it since.
// Every write replaces the file by a new one, so its identity changes.
struct StoredFileVersion {
    bool present = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    friend bool operator==(const StoredFileVersion &, const StoredFileVersion &) = default;
};

// The version of what lies at `path` now (followed through links), read
// without reading the file: whether a store's file changed since.
StoredFileVersion storedFileVersion(const QString &path);

// Reads a stored file whole. Only a regular file is opened for reading
// (opening a FIFO would wait for a writer forever); anything else at `path`
// is unreadable and left as it is. Absent (nothing there, or a dangling
// link) is a result of its own, so that a store starts empty. `version`,
// when given, is set to the version of what was read (absent when nothing
// was).
enum class StoredRead { Read, Absent, Unreadable };
StoredRead readStoredFile(const QString &path, QByteArray *data, QString *error = nullptr,
                          StoredFileVersion *version = nullptr);

// Writes a store's whole file as writeFileAtomically does, but never over
// changes the store did not read: only while the file is still the version
// `seen` (what the store last read or wrote), or gone. Two readers' writes
// to one folder take turns.
//   Written: `seen` is now the version written.
//   Changed: someone else wrote the file; nothing was written. `current`
//     holds its bytes (empty when it cannot be read) and `seen` its
//     version: the store merges them into its own and writes again, or, when
//     they do not read, sets the file aside (moveAsideUnreadable) and writes.
//   Failed: nothing was written; `error` says why (held back while another
//     reader writes the data folder, see DataFolderAccess).
enum class StoredWrite { Written, Changed, Failed };
StoredWrite writeStoredFile(const QString &path, StoredFileVersion *seen, const QByteArray &data,
                            QByteArray *current, QString *error = nullptr);

// Removes the temporary files that writes cut short by a crash left in
// `folder` and its subfolders; returns how many. Only for a folder no
// running write uses.
int removeLeftoverTemporaryFiles(const QString &folder);

// The same for every folder the stores write in: the data folder and the
// preferences' folder.
int removeLeftoverTemporaryFilesOfTheStores();

// The name a file gets when moved aside: NAME.unreadable-YYYYMMDDTHHMMSSZ
// (UTC) next to it.
QString unreadableAsidePath(const QString &path);

// Like every write of a store, these change nothing in a data folder whose
// writes are held back (DataFolderAccess): they fail with its text.

// Moves or copies the file at `path` beside it, to NAME.LABEL-YYYYMMDDTHHMMSSZ
// (UTC; with a numeric suffix when that name is taken). False with the
// error when that fails.
bool moveAside(const QString &path, const QString &label, QString *error = nullptr, QString *movedTo = nullptr);
// Where moveAside would move the file at `path` now, without moving it:
// the file it moves (`source`: the file a link leads to) and its new name.
QString asideTarget(const QString &path, const QString &label, QString *source);
bool copyAside(const QString &path, const QString &label, QString *error = nullptr);

// Moves a file that exists but cannot be read aside before its first
// overwrite (to unreadableAsidePath, with a numeric suffix when that name
// is taken). Returns false with the error when the move fails; nothing may
// be written then.
bool moveAsideUnreadable(const QString &path, QString *error = nullptr, QString *movedTo = nullptr);

// Renames or moves `from` to `to`; fails, leaving both untouched, when `to`
// exists.
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error = nullptr);

// Copies `from` to `to`; fails when `to` exists.
bool copyWithoutReplacing(const QString &from, const QString &to, QString *error = nullptr);

} // namespace folvan::platform
