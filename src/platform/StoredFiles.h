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

// Reads a stored file whole. Only a regular file is opened for reading
// (opening a FIFO would wait for a writer forever); anything else at `path`
// is unreadable and left as it is. Absent (nothing there, or a dangling
// link) is a result of its own, so that a store starts empty.
enum class StoredRead { Read, Absent, Unreadable };
StoredRead readStoredFile(const QString &path, QByteArray *data, QString *error = nullptr);

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

// Moves or copies the file at `path` beside it, to NAME.LABEL-YYYYMMDDTHHMMSSZ
// (UTC; with a numeric suffix when that name is taken). False with the
// error when that fails.
bool moveAside(const QString &path, const QString &label, QString *error = nullptr, QString *movedTo = nullptr);
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
